#include "spatial_order.hpp"

#include <array>
#include <bit>
#include <utility>

namespace kyhost_spatial {

namespace {

struct Keyed {
    std::uint64_t key;
    std::int64_t position;
};

// Sorts by key (stably) with a least-significant-digit radix sort of 11-bit
// digits over the low keyBits bits, skipping digits that are the same for
// every item.
void radixSort(std::vector<Keyed>& items, int keyBits)
{
    constexpr int digitBits = 11;
    constexpr std::size_t buckets = std::size_t{1} << digitBits;
    std::vector<Keyed> spare(items.size());
    for (int shift = 0; shift < keyBits; shift += digitBits) {
        std::array<std::size_t, buckets> count{};
        for (const Keyed& item : items) ++count[(item.key >> shift) & (buckets - 1)];
        if (count[(items.front().key >> shift) & (buckets - 1)] == items.size()) continue;
        std::size_t sum = 0;
        for (std::size_t& c : count) sum += std::exchange(c, sum);
        for (const Keyed& item : items) spare[count[(item.key >> shift) & (buckets - 1)]++] = item;
        items.swap(spare);
    }
}

// An unsigned key in the order of the doubles (-0.0 just before 0.0).
std::uint64_t orderedBits(double value)
{
    const auto bits = std::bit_cast<std::uint64_t>(value);
    return (bits >> 63) ? ~bits : bits | (std::uint64_t{1} << 63);
}

// Each listed point's rank among the listed values, scaled to 16 bits.
std::vector<std::uint32_t> rankCells(const double* values, const std::vector<std::int64_t>& which)
{
    const std::size_t count = which.size();
    std::vector<Keyed> items(count);
    for (std::size_t i = 0; i < count; ++i) items[i] = {orderedBits(values[which[i]]), static_cast<std::int64_t>(i)};
    radixSort(items, 64);
    std::vector<std::uint32_t> cells(count);
    for (std::size_t rank = 0; rank < count; ++rank)
        cells[static_cast<std::size_t>(items[rank].position)] =
            static_cast<std::uint32_t>((static_cast<unsigned __int128>(rank) << 16) / count);
    return cells;
}

// The Hilbert curve level by level: at each level the quadrant of the
// point's next bits (x bit, y bit), read through the turn that the levels
// above have applied to the curve, gives the next two bits of the distance,
// and the quadrant adds its own turn. The turns (0 none, 1 swap x and y,
// 2 mirror both, 3 swap and mirror both) form a group whose product is the
// XOR of their numbers. Tables over four levels at once (4 bits of x and
// 4 of y) give the next 8 bits of the distance and the turn after them.
struct HilbertTables {
    std::array<std::array<std::uint8_t, 256>, 4> digits{};
    std::array<std::array<std::uint8_t, 256>, 4> turns{};

    HilbertTables()
    {
        for (int turn = 0; turn < 4; ++turn)
            for (int xy = 0; xy < 256; ++xy) {
                int t = turn, d = 0;
                for (int level = 3; level >= 0; --level) {
                    int rx = (xy >> (4 + level)) & 1, ry = (xy >> level) & 1;
                    if (t & 1) std::swap(rx, ry);
                    if (t & 2) rx ^= 1, ry ^= 1;
                    d = 4 * d + ((3 * rx) ^ ry);
                    if (ry == 0) t ^= rx ? 3 : 1;  // swap, after mirroring both in the far quadrant
                }
                digits[turn][xy] = static_cast<std::uint8_t>(d);
                turns[turn][xy] = static_cast<std::uint8_t>(t);
            }
    }
};

const HilbertTables hilbertTables;

}  // namespace

std::uint32_t hilbertDistance(std::uint32_t x, std::uint32_t y)
{
    std::uint32_t d = 0, turn = 0;
    for (int shift = 12; shift >= 0; shift -= 4) {
        const std::uint32_t xy = (((x >> shift) & 15) << 4) | ((y >> shift) & 15);
        d = (d << 8) | hilbertTables.digits[turn][xy];
        turn = hilbertTables.turns[turn][xy];
    }
    return d;
}

std::vector<std::int64_t> rankHilbertOrder(const double* qx, const double* qy, std::vector<std::int64_t> which)
{
    const std::size_t count = which.size();
    if (count < 3) return which;
    const std::vector<std::uint32_t> cx = rankCells(qx, which);
    const std::vector<std::uint32_t> cy = rankCells(qy, which);
    std::vector<Keyed> items(count);
    for (std::size_t i = 0; i < count; ++i) items[i] = {hilbertDistance(cx[i], cy[i]), which[i]};
    radixSort(items, 32);
    for (std::size_t i = 0; i < count; ++i) which[i] = items[i].position;
    return which;
}

}  // namespace kyhost_spatial
