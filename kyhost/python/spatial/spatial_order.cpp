#include "spatial_order.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

namespace kyhost_spatial {

namespace {

// A Hilbert key and the place of its point in the list being ordered.
struct Keyed {
    std::uint32_t key;
    std::uint32_t place;
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

// Each listed value's cell among 2^bits cells that hold about equally many
// of the listed values (its rank, coarsely): the cells' boundaries come from
// an even sample of the values, sorted.
std::vector<std::uint32_t> rankCells(const double* values, const std::vector<std::int64_t>& which, int bits)
{
    const std::size_t count = which.size(), cells = std::size_t{1} << bits;
    const std::size_t samples = std::min(count, 16 * cells);
    std::vector<double> sample(samples);
    for (std::size_t i = 0; i < samples; ++i) sample[i] = values[which[i * count / samples]];
    std::sort(sample.begin(), sample.end());
    // bounds[k] (k >= 1): the smallest value of cell k.
    std::vector<double> bounds(cells);
    for (std::size_t k = 1; k < cells; ++k) bounds[k] = sample[k * samples / cells];
    std::vector<std::uint32_t> cell(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double v = values[which[i]];
        std::size_t at = 0;  // the last cell whose bound is at most v, without branches
        for (std::size_t step = cells / 2; step > 0; step /= 2) at += bounds[at + step] <= v ? step : 0;
        cell[i] = static_cast<std::uint32_t>(at);
    }
    return cell;
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
    // Cells enough for about one query each at most: 2^bits on a side.
    const int bits = count <= (std::size_t{1} << 12) ? 8 : (count <= (std::size_t{1} << 22) ? 12 : 16);
    const std::vector<std::uint32_t> cx = rankCells(qx, which, bits);
    const std::vector<std::uint32_t> cy = rankCells(qy, which, bits);
    if (count > UINT32_MAX) {  // more queries than 4-byte places: a plain sort by key
        std::vector<std::pair<std::uint32_t, std::int64_t>> keyed(count);
        for (std::size_t i = 0; i < count; ++i)
            keyed[i] = {hilbertDistance(cx[i] << (16 - bits), cy[i] << (16 - bits)), which[i]};
        std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (std::size_t i = 0; i < count; ++i) which[i] = keyed[i].second;
        return which;
    }
    std::vector<Keyed> items(count);
    for (std::size_t i = 0; i < count; ++i)
        items[i] = {hilbertDistance(cx[i] << (16 - bits), cy[i] << (16 - bits)) >> (32 - 2 * bits),
                    static_cast<std::uint32_t>(i)};
    radixSort(items, 2 * bits);
    std::vector<std::int64_t> ordered(count);
    for (std::size_t i = 0; i < count; ++i) ordered[i] = which[items[i].place];
    return ordered;
}

}  // namespace kyhost_spatial
