#include "threaded/threaded_sweep.hpp"

#include <stdexcept>

namespace sweeptri::threaded {

SweepRows triangulate(const double*, const double*, std::int32_t n)
{
    if (n < 0) throw std::runtime_error("negative point count");
    throw std::runtime_error("sweeptri::threaded::triangulate is not built yet");
}

}  // namespace sweeptri::threaded
