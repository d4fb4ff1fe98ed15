// Turns a crash inside the plug-in into a clear one-line message and a non-zero exit, naming
// the step the probe was in. Main thread (the handler itself runs in signal context).
#pragma once

namespace norvo::probe {

// Exit status used when the plug-in crashed.
inline constexpr int kCrashExitCode = 70;

// Installs handlers for SIGSEGV, SIGBUS, SIGILL, SIGFPE and SIGABRT.
void installCrashGuard();

// Names the step in progress; `step` must be a string literal (it is read in signal context).
void setCrashStep(const char* step);

}  // namespace norvo::probe
