// Stand-in for the compiler's small intrinsics header that the STL includes; clang's intrin.h
// declares them all.
#pragma once
#include <intrin.h>
