#include "borrowed_inputs.hpp"

#include <bit>
#include <cstring>

namespace ky {

namespace {

void add(BorrowedMemory& memory, const void* start, std::size_t bytes, std::size_t input)
{
    if (start == nullptr || bytes == 0) return;
    memory.ranges.push_back({start, bytes});
    memory.inputOf.push_back(input);
}

// Four lanes, each multiplied and rotated after taking in its word: one
// word's change changes its lane for good, since every later step is a
// bijection of the lane.
class Digest {
public:
    void take(const unsigned char* bytes, std::size_t count) noexcept
    {
        std::size_t at = 0;
        for (; at + 32 <= count; at += 32)
            for (int k = 0; k < 4; ++k) mix(k, word(bytes + at + 8 * k));
        for (; at + 8 <= count; at += 8) mix(0, word(bytes + at));
        if (at < count) {
            unsigned char tail[8] = {};
            std::memcpy(tail, bytes + at, count - at);
            mix(1, word(tail));
        }
        mix(2, count);
    }

    std::uint64_t value() const noexcept
    {
        return lanes_[0] ^ std::rotl(lanes_[1], 16) ^ std::rotl(lanes_[2], 32) ^ std::rotl(lanes_[3], 48);
    }

private:
    static std::uint64_t word(const unsigned char* bytes) noexcept
    {
        std::uint64_t w;
        std::memcpy(&w, bytes, sizeof w);
        return w;
    }
    void mix(int lane, std::uint64_t w) noexcept
    {
        lanes_[lane] = std::rotl((lanes_[lane] ^ w) * 0x9E3779B97F4A7C15ull, 29);
    }

    std::uint64_t lanes_[4] = {1, 2, 3, 4};
};

}  // namespace

BorrowedMemory borrowedMemory(std::span<const kyArray* const> inputs)
{
    BorrowedMemory memory;
    for (std::size_t k = 0; k < inputs.size(); ++k) {
        const kyArray* array = inputs[k];
        if (array == nullptr || !array->borrowed) continue;
        if (array->arrayClass == ArrayClass::Sparse) {
            add(memory, array->jc, (static_cast<std::size_t>(array->n) + 1) * sizeof(std::int32_t), k);
            add(memory, array->ir, array->capacity * sizeof(std::int32_t), k);
            add(memory, array->data, array->capacity * sizeof(double), k);
        } else {
            add(memory, array->data, array->capacity * elementSize(array->arrayClass), k);
        }
    }
    return memory;
}

std::uint64_t contentDigest(std::span<const CallRange> ranges) noexcept
{
    Digest digest;
    for (const CallRange& range : ranges) digest.take(static_cast<const unsigned char*>(range.start), range.bytes);
    return digest.value();
}

}  // namespace ky
