// The host services the sweep uses: arrays, call memory, errors and
// warnings. The plug-in takes the host's own (ky.h, kyx.h). The threaded
// build has no host: the same names, declared in namespace sweeptri so
// that the sweep's unqualified calls find them, take memory from the
// running thread's call arena (threaded/call_arena.cpp), end the call with
// a C++ exception and leave warnings to the caller (the sweep records the
// collinear warning in collinearWarned).
#pragma once

#ifndef SWEEPTRI_THREADED

#include "ky.h"
#include "kyx.h"

#else

#include <cstddef>
#include <cstdint>

namespace sweeptri {

// A real matrix, column by column, as the host's arrays are; its storage is
// the arena's, or borrowed from the caller for an input.
struct ArenaMatrix {
    std::int32_t m;
    std::int32_t n;
    double* data;
};
using kyArray = ArenaMatrix;

enum { kyREAL = 0 };

std::int32_t kyGetM(const kyArray* array);
std::int32_t kyGetN(const kyArray* array);
double* kyGetPr(const kyArray* array);
// Only real double matrices exist here.
bool kyIsChar(const kyArray* array);
bool kyIsUint8(const kyArray* array);
bool kyIsSparse(const kyArray* array);
// Not text: always fails.
int kyGetString(const kyArray* array, char* buffer, std::int32_t size);
kyArray* kyCreateDoubleMatrix(std::int32_t m, std::int32_t n, int complexity);
void kySetM(kyArray* array, std::int32_t m);

// Zeroed arena memory, released when the call ends or by kyFree.
void* kyCalloc(std::size_t count, std::size_t size);
void kyFree(void* pointer);

// Throws std::invalid_argument for repeated points, std::runtime_error for
// anything else.
[[noreturn]] void kyxErrMsgTxt(const char* text);
// Ignored: the caller reads collinearWarned.
void kyxWarnMsgTxt(const char* text);

}  // namespace sweeptri

#endif
