// Leak reports that are not ours, silenced in sanitizer builds of the editor tests: GTK, GLib,
// WebKitGTK and the libraries below them (D-Bus, cairo, pango, ...) keep process-wide caches (type
// system, fonts, the X connection, the web context) that are never freed, by design, as GTK cannot
// be finalised. Allocations made by our own code are still reported.
#if defined(NORVO_SANITIZED)
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
  return "leak:libgtk-3.so\n"
         "leak:libgdk-3.so\n"
         "leak:libwebkit2gtk-4.1.so\n"
         "leak:libjavascriptcoregtk-4.1.so\n"
         "leak:libglib-2.0.so\n"
         "leak:libgobject-2.0.so\n"
         "leak:libgio-2.0.so\n"
         "leak:libfontconfig.so\n"
         "leak:libX11.so\n"
         "leak:libatk-bridge-2.0.so\n"
         "leak:libsoup-3.0.so\n"
         "leak:libdbus-1.so\n"
         "leak:libcairo.so\n"
         "leak:libpango-1.0.so\n"
         "leak:libpangocairo-1.0.so\n"
         "leak:libharfbuzz.so\n"
         "leak:libatk-1.0.so\n"
         "leak:libatspi.so\n"
         "leak:libgdk_pixbuf-2.0.so\n"
         "leak:libepoxy.so\n";
}

extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_options() {
  return "print_suppressions=0";
}
#endif
