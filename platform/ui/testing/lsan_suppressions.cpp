// SPDX-License-Identifier: GPL-3.0-or-later
// Linked into the UI test programs and fuzz targets: fontconfig, pango and friends keep caches
// for the life of the process, which LeakSanitizer reports at exit; those are not ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libpango-1.0.so\n"
         "leak:libpangoft2-1.0.so\n"
         "leak:libpangocairo-1.0.so\n"
         "leak:libcairo.so\n"
         "leak:libglib-2.0.so\n"
         "leak:libgobject-2.0.so\n"
         "leak:libharfbuzz.so\n"
         "leak:libX11.so\n";
}
