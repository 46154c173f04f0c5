// The streamed check's progress on standard error, a line every few
// seconds (also when it is not a terminal, so that a log shows how far a
// long check came): the pass, the rows read, the rate and the time left in
// the pass. A check shorter than the interval prints nothing.
#pragma once

#include <cstdio>

#include "streamed_check.hpp"

namespace ky {

inspect::CheckProgressReport checkProgressLines(std::FILE* stream, double seconds);

}  // namespace ky
