// The Delaunay triangulation of distinct finite points, built by inserting
// the points one at a time (Bowyer-Watson) in CGAL's spatial-sort order,
// with CGAL's filtered exact orientation and in-circle tests.
//
// Where four or more points lie on one circle, the in-circle test is
// broken by CGAL's symbolic perturbation (points ranked by x, then y), the
// one CGAL's Delaunay_triangulation_2 uses. That perturbation picks one
// triangulation whatever the order of insertion, so the triangles are the
// very ones CGAL's triangulation of the same points has.
//
// The mesh lives in host blocks: triangles as three corners and three
// neighbours each, closed over the hull by "ghost" triangles that share a
// corner at infinity. About 80 bytes per point while it is built.
#pragma once

#include <cstdint>
#include <vector>

#include "exact_predicates.hpp"
#include "host_block.hpp"

namespace sweeptri {

class IncrementalDelaunay {
public:
    // Triangulates points[0 .. n-1], which it copies. Fewer than three
    // points, or all on one line, give no triangles.
    IncrementalDelaunay(const ExactPoint* points, std::int32_t n);

    // Triangle slots: each holds a finite triangle or a ghost.
    std::int32_t slots() const { return slots_; }
    bool isFinite(std::int32_t t) const;
    std::int32_t finiteCount() const { return finite_; }
    // The corners of slot t, counter-clockwise, numbered in the order of
    // insertion: vertex v is point number(v), at point(v).
    std::int32_t* corners(std::int32_t t) const { return corners_.get() + 3 * static_cast<std::ptrdiff_t>(t); }
    std::int32_t number(std::int32_t v) const { return order_[static_cast<std::size_t>(v)]; }
    const ExactPoint& point(std::int32_t v) const { return points_[v]; }

    // Hands the neighbour table and the scratch tables back; the corners
    // stay readable (and writable) until the object goes.
    void releaseWorkspace();

private:
    std::int32_t n_;  // also the number of the corner at infinity
    HostBlock<std::int32_t> order_;       // the points' numbers in the order of insertion
    HostBlock<ExactPoint> inserted_;      // their coordinates in that order
    const ExactPoint* points_ = nullptr;  // inserted_
    HostBlock<std::int32_t> corners_;
    using SideRef = std::uint32_t;  // side k of triangle t as 3t + k
    HostBlock<SideRef> neighbours_;  // per side: the same side as its other triangle has it
    HostBlock<std::int32_t> marks_;       // per slot: the insertion that last looked at it
    HostBlock<std::int32_t> fanStart_;    // per point: the new triangle whose first side starts there
    std::int32_t slots_ = 0;
    std::int32_t finite_ = 0;
    std::uint32_t random_ = 0x9e3779b9u;

    struct BoundarySide {
        std::int32_t from, to;
        SideRef outside;
    };
    // Kept between insertions so that their storage is reused.
    std::vector<std::int32_t> cavity_;
    std::vector<BoundarySide> sides_;
    std::vector<std::int32_t> fan_;

    bool build(const ExactPoint* points, std::int32_t* order);
    std::int32_t infiniteCorner(std::int32_t t) const;
    bool conflicts(std::int32_t t, std::int32_t p) const;
    bool ghostConflicts(std::int32_t t, int k, std::int32_t p) const;
    int randomSide();
    template <typename Beyond>
    std::int32_t walk(std::int32_t t, std::int64_t maxSteps, Beyond beyond);
    std::int32_t locate(std::int32_t start, std::int32_t p);
    std::int32_t insert(std::int32_t p, std::int32_t start, std::int32_t mark);
    void makeFan(std::int32_t apex, const BoundarySide* sides, std::size_t count, const std::int32_t* reuse,
                 std::size_t reuseCount);
};

}  // namespace sweeptri
