#pragma once

// LeakSanitizer's list of leaks that are not ours, compiled into every executable of a
// sanitizer build. fontconfig, pango, harfbuzz, glib and cairo keep process-wide caches that are
// never freed, and Xlib cannot free what belonged to a connection whose server went away; a leak
// whose stack passes through one of them is reported by no one we could fix. Use the macro once
// per executable, at namespace scope.
#define GLIMMET_LEAK_SUPPRESSIONS                        \
  extern "C" const char* __lsan_default_suppressions();  \
  extern "C" const char* __lsan_default_suppressions() { \
    return "leak:libfontconfig.so\n"                     \
           "leak:libpango\n"                             \
           "leak:libharfbuzz.so\n"                       \
           "leak:libfreetype.so\n"                       \
           "leak:libglib-2.0.so\n"                       \
           "leak:libgobject-2.0.so\n"                    \
           "leak:libcairo.so\n"                          \
           "leak:libX11.so\n";                           \
  }
