// Inlining hints for whole-image optimisation of the firmware images.
#pragma once

// A small function called from many places. Whole-image optimisation would copy its body into
// every caller; one body and a short call at each site is smaller.
#define OUT_OF_LINE __attribute__((noinline))

// A function whose arguments are constants at most call sites and which picks a path from them:
// inlined into every caller of the image, so that the choice is made when the image is built and
// the paths no caller takes are left out. Host builds keep it a plain function.
#if defined(FIRMWARE_BUILD)
#define AT_CALL_SITE __attribute__((always_inline))
#else
#define AT_CALL_SITE
#endif
