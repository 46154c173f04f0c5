// kyCalloc blocks that the call goes on to write in full. The pages of a
// large fresh block would each cost a fault on first write; asking the
// system to make them resident at once (MADV_POPULATE_WRITE, where the
// system has it) costs it a fraction of that. Only a hint: where it cannot
// be given, the pages come on first use as usual, and a block whose pages
// are already resident is left as it is.
#pragma once

#include <algorithm>
#include <cstdint>

#include "ky.h"

namespace trinterp {

void makeResident(void* block, std::size_t bytes);

template <typename T>
T* takeWritten(std::int64_t count)
{
    const auto bytes = static_cast<std::size_t>(std::max<std::int64_t>(count, 1)) * sizeof(T);
    void* block = kyCalloc(bytes, 1);
    makeResident(block, bytes);
    return static_cast<T*>(block);
}

}  // namespace trinterp
