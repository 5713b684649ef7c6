// Tells LeakSanitizer to ignore what libOSMesa keeps after its context is destroyed: not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libOSMesa.so\n"; }
