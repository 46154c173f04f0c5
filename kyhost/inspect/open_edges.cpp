#include "open_edges.hpp"

#include <algorithm>

#include "huge_pages.hpp"

namespace ky::inspect {

namespace {

// Spreads the bits of a key over the slots (the finaliser of splitmix64).
std::uint64_t mixed(std::uint64_t key)
{
    key ^= key >> 30;
    key *= 0xbf58476d1ce4e5b9u;
    key ^= key >> 27;
    key *= 0x94d049bb133111ebu;
    return key ^ (key >> 31);
}

constexpr std::size_t firstSlots = std::size_t{1} << 12;

}  // namespace

OpenEdges::OpenEdges(std::uint64_t budgetBytes) : budget_(budgetBytes)
{
    if (firstSlots * sizeof(PendingEdge) <= budget_) slots_.resize(firstSlots);
}

std::size_t OpenEdges::home(std::uint64_t key) const { return static_cast<std::size_t>(mixed(key)) & (slots_.size() - 1); }

OpenEdges::Outcome OpenEdges::offer(const PendingEdge& edge, PendingEdge& partner)
{
    if (slots_.empty()) return Outcome::Full;
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = home(edge.key);
    for (; slots_[slot].key != 0; slot = (slot + 1) & mask) {
        const PendingEdge& waiting = slots_[slot];
        if (waiting.key == edge.key && ((waiting.row ^ edge.row) & runsForward) != 0) {
            partner = waiting;
            erase(slot);
            return Outcome::Closed;
        }
    }
    // At most three quarters of the slots in use keeps the runs of linear
    // probing short.
    if (4 * (size_ + 1) > 3 * slots_.size()) {
        if (!grow()) return Outcome::Full;
        for (slot = home(edge.key); slots_[slot].key != 0; slot = (slot + 1) & (slots_.size() - 1)) {
        }
    }
    slots_[slot] = edge;
    peak_ = std::max(peak_, ++size_);
    return Outcome::Opened;
}

// Backward-shift deletion: the entries after the freed slot that would no
// longer be found from their home move back into it, so lookups never
// need markers for removed entries.
void OpenEdges::erase(std::size_t slot)
{
    const std::size_t mask = slots_.size() - 1;
    std::size_t next = slot;
    for (;;) {
        next = (next + 1) & mask;
        if (slots_[next].key == 0) break;
        const std::size_t wanted = home(slots_[next].key);
        // Whether wanted lies cyclically in (slot, next]: then the entry stays.
        const bool stays = slot <= next ? (slot < wanted && wanted <= next) : (slot < wanted || wanted <= next);
        if (!stays) {
            slots_[slot] = slots_[next];
            slot = next;
        }
    }
    slots_[slot].key = 0;
    --size_;
}

bool OpenEdges::grow()
{
    const std::size_t wanted = 2 * slots_.size();
    if (wanted * sizeof(PendingEdge) > budget_) return false;
    // Probed at random: on huge pages a large table costs few TLB misses.
    std::vector<PendingEdge> old;
    tiling::reserveOnHugePages(old, wanted);
    old.resize(wanted);
    old.swap(slots_);
    const std::size_t mask = wanted - 1;
    for (const PendingEdge& edge : old) {
        if (edge.key == 0) continue;
        std::size_t slot = home(edge.key);
        while (slots_[slot].key != 0) slot = (slot + 1) & mask;
        slots_[slot] = edge;
    }
    return true;
}

std::vector<PendingEdge> OpenEdges::drain()
{
    std::vector<PendingEdge> waiting;
    waiting.reserve(size_);
    for (const PendingEdge& edge : slots_)
        if (edge.key != 0) waiting.push_back(edge);
    std::sort(waiting.begin(), waiting.end(), [](const PendingEdge& a, const PendingEdge& b) {
        return a.key != b.key ? a.key < b.key : a.row < b.row;
    });
    slots_.clear();
    slots_.shrink_to_fit();
    size_ = 0;
    return waiting;
}

KeySet::KeySet(const std::vector<std::uint64_t>& keys)
{
    const std::size_t size = slotsFor(keys.size());
    slots_.assign(size, 0);
    for (const std::uint64_t key : keys) {
        std::size_t slot = static_cast<std::size_t>(mixed(key)) & (size - 1);
        while (slots_[slot] != 0 && slots_[slot] != key) slot = (slot + 1) & (size - 1);
        slots_[slot] = key;
    }
}

bool KeySet::contains(std::uint64_t key) const
{
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = static_cast<std::size_t>(mixed(key)) & mask; slots_[slot] != 0; slot = (slot + 1) & mask)
        if (slots_[slot] == key) return true;
    return false;
}

}  // namespace ky::inspect
