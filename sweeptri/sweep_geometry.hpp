// Geometry of the sweep: bisectors, their crossings, the right-of test of a
// beach-line boundary, distances and the end vertices of edges.
#pragma once

#include "sweep_state.hpp"

namespace sweeptri {

inline constexpr const char* collinearWarning = "Degenerate case: collinear points. Possible incorrect triangulation.";

// The bisector of two distinct sites; holds a reference on both.
Edge* makeBisector(Site* s1, Site* s2);
// The crossing of the bisectors of two neighbouring half-edges (h1 left of
// h2) as a new vertex, or null when they have no admissible crossing.
Site* crossBisectors(HalfEdge* h1, HalfEdge* h2);
// True when p lies right of the boundary h (never a sentinel).
bool isRightOf(const HalfEdge* h, const Site* p);
double pointDistance(const Site* p, const Site* q);
// Records that the circle event just handled ends e through its half-edge
// of the given side; the second end retires the edge.
void setEdgeEnd(Edge* e, int side);

}  // namespace sweeptri
