// Under LeakSanitizer: fontconfig keeps a cache for the whole process that it never
// frees; it is no leak of ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libdbus-1.so\n";
}
