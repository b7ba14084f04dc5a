// Marks a small function that is called from many places. Whole-image optimisation would copy
// its body into every caller; one body and a short call at each site is smaller.
#pragma once

#define OUT_OF_LINE __attribute__((noinline))
