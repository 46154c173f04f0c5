// kyhost's input arguments, written KIND:VALUE, turned into host arrays.
#pragma once

#include <string>

#include "host_array.hpp"

namespace ky {

// csv:PATH, npy:PATH, num:V,V,..., zeros:MxN, text:STRING, u8:PATH,
// u8csv:PATH, sparse:PATH (the CSV kinds and npy: with an optional #SELECTOR). Throws UsageError for an unknown kind or bad
// value.
ArrayHandle parseArgument(const std::string& argument);

// One line per kind, for --help.
extern const char* const argumentKindsHelp;

}  // namespace ky
