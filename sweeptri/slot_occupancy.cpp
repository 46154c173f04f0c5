#include "slot_occupancy.hpp"

#include "call_state.hpp"
#include "sweep_blocks.hpp"

namespace sweeptri {

namespace {

SWEEPTRI_CALL_STATE std::uint64_t* words = nullptr;    // bit s % 64 of word s / 64: slot s is filled
SWEEPTRI_CALL_STATE std::uint64_t* summary = nullptr;  // bit w % 64 of word w / 64: word w is not 0
SWEEPTRI_CALL_STATE std::int32_t wordCount = 0;
SWEEPTRI_CALL_STATE std::int32_t summaryCount = 0;

// The highest set bit of the words at or below bit `at` (-1 when none),
// and likewise the lowest at or above it.
std::int32_t highestAtOrBelow(const std::uint64_t* bits, std::int32_t at)
{
    if (at < 0) return -1;
    std::int32_t w = at / 64;
    std::uint64_t word = bits[w] & (~std::uint64_t{0} >> (63 - at % 64));
    while (word == 0) {
        if (--w < 0) return -1;
        word = bits[w];
    }
    return w * 64 + 63 - __builtin_clzll(word);
}

std::int32_t lowestAtOrAbove(const std::uint64_t* bits, std::int32_t count, std::int32_t at)
{
    std::int32_t w = at / 64;
    if (w >= count) return -1;
    std::uint64_t word = bits[w] & (~std::uint64_t{0} << (at % 64));
    while (word == 0) {
        if (++w >= count) return -1;
        word = bits[w];
    }
    return w * 64 + __builtin_ctzll(word);
}

}  // namespace

void initSlotOccupancy(std::int32_t slotCount)
{
    wordCount = (slotCount + 63) / 64;
    summaryCount = (wordCount + 63) / 64;
    words = static_cast<std::uint64_t*>(takeSweepBlock(static_cast<std::size_t>(wordCount) * sizeof(std::uint64_t)));
    summary =
        static_cast<std::uint64_t*>(takeSweepBlock(static_cast<std::size_t>(summaryCount) * sizeof(std::uint64_t)));
}

void markSlotFilled(std::int32_t slot)
{
    words[slot / 64] |= std::uint64_t{1} << (slot % 64);
    summary[slot / 4096] |= std::uint64_t{1} << (slot / 64 % 64);
}

void markSlotEmpty(std::int32_t slot)
{
    std::uint64_t& word = words[slot / 64];
    word &= ~(std::uint64_t{1} << (slot % 64));
    if (word == 0) summary[slot / 4096] &= ~(std::uint64_t{1} << (slot / 64 % 64));
}

std::int32_t filledSlotAtOrBelow(std::int32_t slot)
{
    if (slot < 0) return -1;
    const std::int32_t inWord = highestAtOrBelow(words + slot / 64, slot % 64);
    if (inWord >= 0) return slot / 64 * 64 + inWord;
    const std::int32_t w = highestAtOrBelow(summary, slot / 64 - 1);
    return w < 0 ? -1 : w * 64 + highestAtOrBelow(words + w, 63);
}

std::int32_t filledSlotAtOrAbove(std::int32_t slot)
{
    if (slot / 64 >= wordCount) return -1;
    const std::int32_t inWord = lowestAtOrAbove(words + slot / 64, 1, slot % 64);
    if (inWord >= 0) return slot / 64 * 64 + inWord;
    const std::int32_t w = lowestAtOrAbove(summary, summaryCount, slot / 64 + 1);
    return w < 0 ? -1 : w * 64 + lowestAtOrAbove(words + w, 1, 0);
}

}  // namespace sweeptri
