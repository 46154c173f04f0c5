#include "beach_index.hpp"

#include <cstring>

#include "beach_line.hpp"
#include "call_state.hpp"
#include "host_services.hpp"
#include "record_pool.hpp"
#include "sweep_geometry.hpp"

namespace sweeptri {

SWEEPTRI_CALL_STATE bool beachIndexActive = false;
SWEEPTRI_CALL_STATE std::int32_t beachLength = 0;

namespace {

SWEEPTRI_CALL_STATE RecordPool nodePool;
SWEEPTRI_CALL_STATE RecordPool blockPool;
SWEEPTRI_CALL_STATE IndexNode* root = nullptr;
// Links and unlinks since a search last used the index.
SWEEPTRI_CALL_STATE std::int64_t changesUnused = 0;

// Entries per block and node when the index is built: room to grow.
constexpr int buildFill = 12;
constexpr int maxHeight = 40;

IndexNode* newNode(std::int32_t height)
{
    auto* node = static_cast<IndexNode*>(takeRecord(nodePool));
    node->parent = nullptr;
    node->count = 0;
    node->height = height;
    return node;
}

IndexBlock* newBlock(HalfEdge* first, std::int32_t count)
{
    auto* block = static_cast<IndexBlock*>(takeRecord(blockPool));
    block->parent = nullptr;
    block->first = first;
    block->count = count;
    for (std::int32_t k = 0; k < count; ++k, first = first->right) first->indexBlock = block;
    return block;
}

IndexNode* childNode(const IndexNode* node, int i) { return static_cast<IndexNode*>(node->children[i]); }
IndexBlock* childBlock(const IndexNode* node, int i) { return static_cast<IndexBlock*>(node->children[i]); }

void adopt(IndexNode* node, int i)
{
    if (node->height == 1)
        childBlock(node, i)->parent = node;
    else
        childNode(node, i)->parent = node;
}

int positionOf(const IndexNode* node, const void* child)
{
    int i = 0;
    while (node->children[i] != child) ++i;
    return i;
}

// Puts child at position i of node, splitting the node (and its ancestors)
// when it is full.
void insertChild(IndexNode* node, int i, void* child)
{
    if (node->count == indexFanout) {
        constexpr int half = indexFanout / 2;
        IndexNode* right = newNode(node->height);
        std::memcpy(right->children, node->children + half, half * sizeof(void*));
        right->count = half;
        node->count = half;
        for (int k = 0; k < half; ++k) adopt(right, k);
        IndexNode* parent = node->parent;
        if (parent == nullptr) {
            parent = newNode(node->height + 1);
            parent->children[0] = node;
            parent->count = 1;
            node->parent = parent;
            root = parent;
        }
        insertChild(parent, positionOf(parent, node) + 1, right);
        if (i > half) {
            node = right;
            i -= half;
        }
    }
    std::memmove(node->children + i + 1, node->children + i, static_cast<std::size_t>(node->count - i) * sizeof(void*));
    node->children[i] = child;
    ++node->count;
    adopt(node, i);
}

// Takes the child at position i out of node; an emptied node leaves its
// parent, and a root with a single inner child hands the root on to it.
void eraseChild(IndexNode* node, int i)
{
    --node->count;
    std::memmove(node->children + i, node->children + i + 1, static_cast<std::size_t>(node->count - i) * sizeof(void*));
    if (node->count == 0 && node->parent != nullptr) {
        eraseChild(node->parent, positionOf(node->parent, node));
        returnRecord(node, nodePool);
        return;
    }
    while (root->height > 1 && root->count == 1) {
        IndexNode* only = childNode(root, 0);
        returnRecord(root, nodePool);
        root = only;
        root->parent = nullptr;
    }
}

void releaseTree(IndexNode* node)
{
    for (int k = 0; k < node->count; ++k) {
        if (node->height == 1)
            returnRecord(childBlock(node, k), blockPool);
        else
            releaseTree(childNode(node, k));
    }
    returnRecord(node, nodePool);
}

// Builds the level above count entries (blocks or nodes) held in items,
// and leaves the new level's nodes in items.
std::int64_t buildLevel(void** items, std::int64_t count, std::int32_t height)
{
    const std::int64_t nodes = (count + buildFill - 1) / buildFill;
    std::int64_t taken = 0;
    for (std::int64_t k = 0; k < nodes; ++k) {
        const std::int64_t end = count * (k + 1) / nodes;  // evenly spread
        IndexNode* node = newNode(height);
        for (; taken < end; ++taken) {
            node->children[node->count] = items[taken];
            adopt(node, node->count);
            ++node->count;
        }
        items[k] = node;
    }
    return nodes;
}

void rebuild()
{
    if (root != nullptr) releaseTree(root);
    // The beach line, sentinels included, cut into blocks of buildFill.
    const std::int64_t length = static_cast<std::int64_t>(beachLength) + 2;
    std::int64_t count = (length + buildFill - 1) / buildFill;
    auto** items = static_cast<void**>(kyCalloc(static_cast<std::size_t>(count), sizeof(void*)));
    HalfEdge* h = leftSentinel;
    for (std::int64_t k = 0; k < count; ++k) {
        const auto size = static_cast<std::int32_t>(length * (k + 1) / count - length * k / count);
        items[k] = newBlock(h, size);
        for (std::int32_t s = 0; s < size; ++s) h = h->right;
    }
    std::int32_t height = 1;
    do {
        count = buildLevel(items, count, height++);
    } while (count > 1);
    root = static_cast<IndexNode*>(items[0]);
    root->parent = nullptr;
    kyFree(items);
}

// Splits a block that has grown past indexFanout half-edges in two.
void splitBlock(IndexBlock* block)
{
    const std::int32_t keep = block->count / 2;
    HalfEdge* first = block->first;
    for (std::int32_t k = 0; k < keep; ++k) first = first->right;
    IndexBlock* right = newBlock(first, block->count - keep);
    block->count = keep;
    IndexNode* parent = block->parent;
    insertChild(parent, positionOf(parent, block) + 1, right);
}

// Where h's block sits: its place in its parent, then the place of each
// node in its parent, by height. Returns the root's height.
int pathTo(const HalfEdge* h, int* positions)
{
    const IndexBlock* block = h->indexBlock;
    positions[1] = positionOf(block->parent, block);
    const IndexNode* node = block->parent;
    while (node->parent != nullptr) {
        positions[node->height + 1] = positionOf(node->parent, node);
        node = node->parent;
    }
    return node->height;
}

HalfEdge* firstHalfEdge(const IndexNode* node)
{
    while (node->height > 1) node = childNode(node, 0);
    return childBlock(node, 0)->first;
}

// Bisection over candidates known < mid < beyond: the last one p is right
// of, given that p is right of `known` and not of `beyond`.
template <typename Test>
int bisect(int known, int beyond, Test isRight)
{
    while (beyond - known > 1) {
        const int mid = known + (beyond - known) / 2;
        if (isRight(mid))
            known = mid;
        else
            beyond = mid;
    }
    return known;
}

}  // namespace

std::int32_t ceilLog2(std::int64_t v)
{
    std::int32_t bits = 0;
    while ((std::int64_t{1} << bits) < v) ++bits;
    return bits;
}

void resetBeachIndex()
{
    initPool(nodePool, sizeof(IndexNode));
    initPool(blockPool, sizeof(IndexBlock));
    beachIndexActive = false;
    root = nullptr;
}

void buildBeachIndex()
{
    rebuild();
    beachIndexActive = true;
    changesUnused = 0;
}

void indexUsed() { changesUnused = 0; }

namespace {

// Gives the tree back to the pools; the half-edges' blocks are not read
// again until a rebuild sets them anew.
void dropWhenUnused()
{
    if (++changesUnused <= 8 * (static_cast<std::int64_t>(beachLength) + 64)) return;
    releaseTree(root);
    root = nullptr;
    beachIndexActive = false;
}

}  // namespace

// Out of line: the beach line's own linking stays small enough to inline
// into the sweep, which calls it for every event.
[[gnu::noinline]] void indexLinkRightOf(HalfEdge* lb, HalfEdge* h)
{
    IndexBlock* block = lb->indexBlock;
    h->indexBlock = block;
    if (++block->count > indexFanout) splitBlock(block);
    dropWhenUnused();
}

[[gnu::noinline]] void indexUnlink(HalfEdge* h)
{
    IndexBlock* block = h->indexBlock;
    h->indexBlock = nullptr;
    if (--block->count == 0) {
        eraseChild(block->parent, positionOf(block->parent, block));
        returnRecord(block, blockPool);
    } else if (block->first == h) {
        // h keeps its own links: its right neighbour is the block's next.
        block->first = h->right;
    }
    dropWhenUnused();
}

HalfEdge* indexSearch(HalfEdge* lo, HalfEdge* hi, const Site* p, std::int32_t& tests)
{
    // A tree grown by splits, or one that lost most of its half-edges, may
    // be taller than the bound on the tests allows: rebuild it first.
    if (root->height * testsPerIndexLevel + testsPerIndexLevel > 2 * ceilLog2(beachLength)) rebuild();

    int loPath[maxHeight], hiPath[maxHeight];
    const int height = pathTo(lo, loPath);
    pathTo(hi, hiPath);
    // Descending, lo (or a half-edge already found with p right of it) lies
    // in the first candidate child, and hi (or one found with p not right of
    // it) just past the last: bisect between them with the right-of test on
    // the first half-edge of each child.
    bool loInside = true, hiInside = true;
    const IndexNode* node = root;
    for (int level = height;; --level) {
        const int first = loInside ? loPath[level] : 0;
        const int last = hiInside ? hiPath[level] : node->count - 1;
        const int chosen = bisect(first, last + 1, [&](int mid) {
            const HalfEdge* e = level == 1 ? childBlock(node, mid)->first : firstHalfEdge(childNode(node, mid));
            if (e == hi) return false;
            ++tests;
            return isRightOf(e, p);
        });
        loInside = loInside && chosen == first;
        hiInside = hiInside && chosen == last;
        if (level == 1) {
            // Within the block: gather its half-edges, find lo and hi among
            // them where they lie in it, then bisect.
            const IndexBlock* block = childBlock(node, chosen);
            HalfEdge* run[indexFanout];
            HalfEdge* e = block->first;
            int known = 0, beyond = block->count;
            for (std::int32_t k = 0; k < block->count; ++k, e = e->right) {
                run[k] = e;
                if (loInside && e == lo) known = k;
                if (hiInside && e == hi) beyond = k;
            }
            return run[bisect(known, beyond, [&](int mid) {
                ++tests;
                return isRightOf(run[mid], p);
            })];
        }
        node = childNode(node, chosen);
    }
}

}  // namespace sweeptri
