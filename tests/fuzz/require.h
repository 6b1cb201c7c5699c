// The fuzz targets' invariant check: a broken invariant aborts, which libFuzzer reports with the input.
#pragma once

#include <cstdlib>

inline void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}
