// The fuzz targets' own checks: a broken rule stops the run at once, as a crash would, so
// that libFuzzer keeps the input that broke it.
#pragma once

#define FUZZ_CHECK(condition) \
    do {                      \
        if (!(condition))     \
            __builtin_trap(); \
    } while (0)
