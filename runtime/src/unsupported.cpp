// Entry points for every runtime function this library does not implement.
//
// Each name of the interface gets a weak definition here; the real
// implementations elsewhere in the library are strong definitions and win at
// link time, so the library always exports the complete set of names.  The
// stubs cannot know their callers' signatures, so they report through the
// library-wide error callback rather than a call's own handler record.  This
// file deliberately does not see api.h: its declarations would clash with
// the stubs' uniform signature.

namespace vaskelith {
void report_unsupported(const char* function) noexcept;
}

#define X(name)                                                         \
  extern "C" __attribute__((weak, visibility("default"))) void name() { \
    ::vaskelith::report_unsupported(#name);                             \
  }
#include "vaskelith/names.h"
#undef X
