#pragma once
// What the fuzz targets share: a check that stops the run on a broken promise (a crash the
// fuzzer records, a failure the replay test reports), and a quiet Qt.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: broken promise: %s\n", __FILE__, __LINE__, #condition);   \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// Qt's warnings about malformed input would only slow the run down.
void SilenceQtMessages();
