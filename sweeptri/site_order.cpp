#include "site_order.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "call_state.hpp"
#include "host_services.hpp"

namespace sweeptri {

namespace {

// An unsigned key whose order is the numeric order of finite doubles, with
// -0.0 and +0.0 mapped to the same key (they compare equal).
std::uint64_t orderKey(double v)
{
    if (v == 0.0) v = 0.0;
    const auto bits = std::bit_cast<std::uint64_t>(v);
    constexpr std::uint64_t sign = std::uint64_t{1} << 63;
    return (bits & sign) != 0 ? ~bits : (bits | sign);
}

struct SortItem {
    std::uint64_t key;
    std::uint32_t index;
    std::uint32_t unused;
};

constexpr int digitBits = 11;
constexpr int digitCount = (64 + digitBits - 1) / digitBits;
constexpr std::uint32_t digitValues = 1u << digitBits;

std::uint32_t digitOf(std::uint64_t key, int pass)
{
    return static_cast<std::uint32_t>(key >> (pass * digitBits)) & (digitValues - 1);
}

// Stable least-significant-digit radix sort of items by key; passes whose
// digit is the same for every item are skipped. Returns the buffer that
// holds the result (items or spare).
SortItem* radixSort(SortItem* items, SortItem* spare, std::uint32_t n)
{
#ifdef SWEEPTRI_THREADED
    // 48 KiB on the thread's stack: held per thread, they would make its
    // block of call state too large for the fast access a loaded module
    // gets when its thread-local storage fits the space set aside for it.
    std::uint32_t counts[digitCount][digitValues];
#else
    static std::uint32_t counts[digitCount][digitValues];
#endif
    std::memset(counts, 0, sizeof counts);
    for (std::uint32_t i = 0; i < n; ++i)
        for (int pass = 0; pass < digitCount; ++pass) ++counts[pass][digitOf(items[i].key, pass)];

    for (int pass = 0; pass < digitCount; ++pass) {
        std::uint32_t* count = counts[pass];
        if (count[digitOf(items[0].key, pass)] == n) continue;
        std::uint32_t start = 0;
        for (std::uint32_t d = 0; d < digitValues; ++d) {
            const std::uint32_t c = count[d];
            count[d] = start;
            start += c;
        }
        for (std::uint32_t i = 0; i < n; ++i) spare[count[digitOf(items[i].key, pass)]++] = items[i];
        std::swap(items, spare);
    }
    return items;
}

}  // namespace

int compareSites(const Site& a, const Site& b)
{
    if (a.y < b.y) return -1;
    if (a.y > b.y) return 1;
    if (a.x < b.x) return -1;
    if (a.x > b.x) return 1;
    return 0;
}

bool allFinite(const double* values, std::int64_t count)
{
    bool finite = true;
    for (std::int64_t i = 0; i < count; ++i) finite &= std::isfinite(values[i]);
    return finite;
}

bool inSweepOrder(const double* x, const double* y, std::int64_t count)
{
    for (std::int64_t i = 1; i < count; ++i) {
        if (y[i] < y[i - 1]) return false;
        if (y[i] == y[i - 1] && x[i] < x[i - 1]) return false;
    }
    return true;
}

void copySites(const double* x, const double* y, Site* sites, std::int32_t n)
{
    for (std::int32_t i = 0; i < n; ++i) sites[i] = Site{x[i], y[i], i, 0};
}

void orderSites(const double* x, const double* y, Site* sites, std::int32_t n, std::size_t workBytes)
{
    if (n <= 0) return;
    const auto count = static_cast<std::uint32_t>(n);
    const std::size_t itemBytes = 2 * static_cast<std::size_t>(count) * sizeof(SortItem);
    auto* buffer = static_cast<SortItem*>(kyCalloc(std::max(itemBytes, workBytes), 1));
    for (std::uint32_t i = 0; i < count; ++i) buffer[i] = SortItem{orderKey(y[i]), i, 0};
    SortItem* sorted = radixSort(buffer, buffer + count, count);

    // Runs of equal y go into ascending x.
    const auto byKey = [](const SortItem& a, const SortItem& b) { return a.key < b.key; };
    for (std::uint32_t begin = 0; begin < count;) {
        std::uint32_t end = begin + 1;
        while (end < count && sorted[end].key == sorted[begin].key) ++end;
        if (end - begin > 1) {
            for (std::uint32_t i = begin; i < end; ++i) sorted[i].key = orderKey(x[sorted[i].index]);
            std::sort(sorted + begin, sorted + end, byKey);
        }
        begin = end;
    }

    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t k = sorted[i].index;
        sites[i] = Site{x[k], y[k], static_cast<std::int32_t>(k), 0};
    }
    kyFree(buffer);
}

std::int32_t findRepeatedSite(const Site* sites, std::int32_t n)
{
    for (std::int32_t i = 1; i < n; ++i)
        if (!(sites[i].y < sites[i - 1].y) && !(sites[i].y > sites[i - 1].y) && !(sites[i].x < sites[i - 1].x) &&
            !(sites[i].x > sites[i - 1].x))
            return i;
    return -1;
}

}  // namespace sweeptri
