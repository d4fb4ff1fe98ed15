// Signal handlers that report a plug-in crash on one line.
#include "tools/crash_guard.h"

#include <unistd.h>
#include <atomic>
#include <csignal>
#include <cstring>

namespace norvo::probe {

namespace {

std::atomic<const char*> currentStep{"starting"};

void writeText(const char* text) {
  ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
  (void)ignored;
}

void onCrash(int signal) {
  writeText("norvo-probe: the plug-in crashed (");
  writeText(signal == SIGSEGV   ? "segmentation fault"
            : signal == SIGBUS  ? "bus error"
            : signal == SIGILL  ? "illegal instruction"
            : signal == SIGFPE  ? "arithmetic exception"
            : signal == SIGABRT ? "abort"
                                : "signal");
  writeText(") while ");
  writeText(currentStep.load());
  writeText("\n");
  ::_exit(kCrashExitCode);
}

}  // namespace

void installCrashGuard() {
  struct sigaction action {};
  action.sa_handler = onCrash;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;
  for (int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT}) sigaction(signal, &action, nullptr);
}

void setCrashStep(const char* step) { currentStep.store(step); }

}  // namespace norvo::probe
