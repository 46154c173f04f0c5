#include "triangle_buffer.hpp"

#include <cstring>

#include "sweep_state.hpp"

namespace sweeptri {

kyArray* createTriangleBuffer(std::int32_t capacity)
{
    kyArray* buffer = kyCreateDoubleMatrix(capacity, 3, kyREAL);
    writePosition = kyGetPr(buffer);
    return buffer;
}

void trimTriangleBuffer(kyArray* buffer, std::int32_t capacity, std::int32_t count)
{
    if (count != capacity) {
        double* data = kyGetPr(buffer);
        const auto rows = static_cast<std::size_t>(count);
        const auto cap = static_cast<std::size_t>(capacity);
        // The ranges overlap once more than half (column 2) or two thirds
        // (column 3) of the capacity is used.
        std::memmove(data + rows, data + cap, rows * sizeof(double));
        std::memmove(data + 2 * rows, data + 2 * cap, rows * sizeof(double));
    }
    kySetM(buffer, count);
}

}  // namespace sweeptri
