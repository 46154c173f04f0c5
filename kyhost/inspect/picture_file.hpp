// Writes a finished picture to its file, checking the open, every write and
// the close, so that a picture that did not reach the file is never
// reported as written.
#pragma once

#include <string>

namespace ky::inspect {

// Throws std::runtime_error "cannot write picture PATH: REASON".
void writePictureFile(const std::string& path, const std::string& bytes);

}  // namespace ky::inspect
