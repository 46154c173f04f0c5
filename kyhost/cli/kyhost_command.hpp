// The kyhost command line: kyhost [OPTIONS] FUNCTION [ARG ...]
#pragma once

namespace ky {

// Runs kyhost and returns its exit status: 0 on success, 1 when the call
// ends in an error, 2 for a mistake on the command line or in the data.
int runKyhost(int argc, char** argv);

}  // namespace ky
