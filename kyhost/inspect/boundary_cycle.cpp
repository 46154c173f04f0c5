#include "boundary_cycle.hpp"

#include <algorithm>

#include "check_report.hpp"
#include "exact_geometry.hpp"

namespace ky::inspect {

namespace {

std::string counted(std::uint64_t position, int base) { return std::to_string(position + static_cast<std::uint64_t>(base)); }

// The half-turn that the direction from a to b lies in: 0 for directions
// from east (included) counter-clockwise to west (excluded), 1 for the rest.
// Decided by comparisons alone, so exactly.
int halfTurn(const PointSet& p, std::uint64_t a, std::uint64_t b)
{
    return p.y[b] < p.y[a] || (p.y[b] == p.y[a] && p.x[b] < p.x[a]) ? 1 : 0;
}

// Whether q lies strictly between p and r on the line through all three.
bool between(const PointSet& p, std::uint64_t a, std::uint64_t q, std::uint64_t r)
{
    const auto before = [&](std::uint64_t u, std::uint64_t v) {
        return p.x[u] < p.x[v] || (p.x[u] == p.x[v] && p.y[u] < p.y[v]);
    };
    return (before(a, q) && before(q, r)) || (before(r, q) && before(q, a));
}

}  // namespace

BoundaryVerdict checkBoundaryCycle(const PointSet& p, std::vector<BoundaryEdge>& edges, int base)
{
    BoundaryVerdict verdict;
    const auto fault = [&](const std::string& text) {
        if (verdict.faults.size() < listedOffenders) verdict.faults.push_back(text);
    };
    if (edges.size() < 3) {
        fault(std::to_string(edges.size()) + " edges lie in one row only; a boundary has at least 3");
        return verdict;
    }
    std::sort(edges.begin(), edges.end(), [](const BoundaryEdge& a, const BoundaryEdge& b) {
        return a.from != b.from ? a.from < b.from : a.to < b.to;
    });
    for (std::size_t i = 1; i < edges.size(); ++i)
        if (edges[i].from == edges[i - 1].from)
            fault("point " + counted(edges[i].from, base) + " starts two edges in one row only (rows " +
                  counted(edges[i - 1].row, base) + " and " + counted(edges[i].row, base) + ")");
    if (!verdict.faults.empty()) return verdict;

    const auto next = [&](std::uint64_t point) -> const BoundaryEdge* {
        const auto at = std::lower_bound(edges.begin(), edges.end(), point,
                                         [](const BoundaryEdge& e, std::uint64_t v) { return e.from < v; });
        return at != edges.end() && at->from == point ? &*at : nullptr;
    };
    // Around the cycle from the first edge: every turn clockwise or
    // straight on, and the direction passing east exactly once.
    const BoundaryEdge* edge = &edges[0];
    std::size_t walked = 0;
    std::uint64_t eastCrossings = 0;
    do {
        const BoundaryEdge* following = next(edge->to);
        if (following == nullptr) {
            fault("the edge " + counted(edge->from, base) + "-" + counted(edge->to, base) + " (row " +
                  counted(edge->row, base) + ") in one row only leads to a point where none starts");
            return verdict;
        }
        const int turn = orientation(p, edge->from, edge->to, following->to);
        if (turn > 0 || (turn == 0 && !between(p, edge->from, edge->to, following->to)))
            fault("the boundary turns back at point " + counted(edge->to, base) + " (rows " + counted(edge->row, base) +
                  " and " + counted(following->row, base) + ")");
        if (halfTurn(p, edge->from, edge->to) == 0 && halfTurn(p, edge->to, following->to) == 1) ++eastCrossings;
        edge = following;
        ++walked;
    } while (edge != &edges[0] && walked <= edges.size());
    if (walked != edges.size())
        fault("the " + std::to_string(edges.size()) + " edges in one row only form more than one cycle (one of " +
              std::to_string(walked) + ")");
    else if (eastCrossings != 1)
        fault("the boundary winds " + std::to_string(eastCrossings) + " times around");
    if (verdict.faults.empty()) verdict.points = edges.size();
    return verdict;
}

}  // namespace ky::inspect
