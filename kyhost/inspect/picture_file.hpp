// Writes a finished picture to its file, checking the open, every write and
// the close, so that a picture that did not reach the file is never
// reported as written, nor left behind cut short.
#pragma once

#include <string>

namespace ky::inspect {

// Throws std::runtime_error "cannot write picture PATH: REASON". A regular
// file that cannot be written completely is removed. A path holding a NUL
// byte is refused before anything is opened.
void writePictureFile(const std::string& path, const std::string& bytes);

}  // namespace ky::inspect
