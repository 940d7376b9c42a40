// The Ogg Vorbis decoder's implementation (Debian's libstb-dev ships it as a single header),
// compiled into frame exactly once, here, so that sanitizer and fuzzing builds instrument it
// together with the loader that calls it. Every other unit includes the header part only.
// QA_Buffer_OGG is its only user.

#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wall"
#pragma clang diagnostic ignored "-Wextra"
#elif defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <stb/stb_vorbis.h>

#if defined(__clang__)
#pragma clang diagnostic pop
#elif defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
