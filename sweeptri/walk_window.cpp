#include "walk_window.hpp"

#include "sweep_geometry.hpp"

namespace sweeptri {

HalfEdge* walkAnswerMovingRight(HalfEdge* lo, HalfEdge* found, const Site* p, std::int32_t& tests)
{
    // Scanning left, a half-edge p is right of whose right neighbour p is
    // not right of is an end of a walk; the leftmost one is the walk's.
    HalfEdge* answer = found;
    bool rightNeighbourNotRight = false;
    std::int32_t run = 0;  // half-edges in a row that p is right of
    HalfEdge* h = found;
    for (std::int32_t budget = windowBudget; run < windowRun && budget > 0; --budget) {
        h = h->left;
        if (h == lo || h->edge == nullptr) {  // p right of lo, or the left sentinel
            if (rightNeighbourNotRight) answer = h;
            break;
        }
        ++tests;
        if (isRightOf(h, p)) {
            if (rightNeighbourNotRight) answer = h;
            rightNeighbourNotRight = false;
            ++run;
        } else {
            rightNeighbourNotRight = true;
            run = 0;
        }
    }
    return answer;
}

HalfEdge* walkAnswerMovingLeft(HalfEdge* hi, HalfEdge* found, const Site* p, std::int32_t& tests)
{
    // Scanning right, a half-edge p is right of whose right neighbour p is
    // not right of is an end of a walk; the rightmost one is the walk's.
    HalfEdge* answer = found;
    HalfEdge* candidate = nullptr;  // p right of it, its right neighbour not yet tested
    std::int32_t run = 0;           // half-edges in a row that p is not right of
    HalfEdge* h = found->right;
    if (h == hi || h->edge == nullptr) return found;
    for (std::int32_t budget = windowBudget; run < windowRun && budget > 0; --budget) {
        h = h->right;
        if (h == hi || h->edge == nullptr) {  // p not right of hi, nor the right sentinel
            if (candidate != nullptr) answer = candidate;
            break;
        }
        ++tests;
        if (isRightOf(h, p)) {
            candidate = h;
            run = 0;
        } else {
            if (candidate != nullptr) answer = candidate;
            candidate = nullptr;
            ++run;
        }
    }
    return answer;
}

}  // namespace sweeptri
