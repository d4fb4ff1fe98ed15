// Leak reports that are not ours, silenced in sanitizer builds: libsmf does not free its file
// object when a load fails (smf_load_from_memory returns before smf_delete), and the probe
// reports that failure and exits. The suppression summary is not printed, so the probe's
// error output stays one line.
#if defined(NORVO_SANITIZED)
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
  return "leak:libsmf.so\n";
}

// Keeps the probe's error output to its one line.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_options() {
  return "print_suppressions=0";
}
#endif
