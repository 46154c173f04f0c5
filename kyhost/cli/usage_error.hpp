// A mistake on kyhost's command line or in the data it names; kyhost
// reports it and exits with status 2.
#pragma once

#include <stdexcept>

namespace ky {

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace ky
