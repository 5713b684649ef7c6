// Tells LeakSanitizer to ignore the font caches that Pango's process-wide font map and
// fontconfig keep for the life of the process (some filled on their own thread): not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libpangoft2-1.0.so\n"; }
