// Large buffers backed by huge pages: the kernel faults them in 2 MiB at a
// time instead of 4 KiB, which on these machines is most of the cost of
// touching fresh memory.
#pragma once

#include <cstddef>
#include <vector>

namespace tiling {

// A hint, given before [data, data + bytes) is first touched, for the whole
// 2 MiB pages inside it. KY_HUGE_PAGES=0 turns it off, as for the sweep.
void preferHugePages(const void* data, std::size_t bytes);

// v (empty) reserved for n elements, on huge pages where they fit.
template <class T>
void reserveOnHugePages(std::vector<T>& v, std::size_t n)
{
    const bool fresh = v.capacity() == 0;
    v.reserve(n);
    if (fresh) preferHugePages(v.data(), n * sizeof(T));
}

}  // namespace tiling
