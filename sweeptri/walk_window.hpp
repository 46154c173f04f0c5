// Where the floating-point right-of test is not monotone along the beach
// line, a bisection can stop at another change of its answer than the walk
// would. Such places are short windows of arcs that stand out of order:
// bisectors so nearly parallel that the sweep gives them no crossing (its
// determinant tolerance) do cross, and the arc between them is not removed
// when it should be. Beside such a window the test answers alike for many
// half-edges in a row. So the bisection's answer is checked against the
// stretch behind it, towards the walk's start, until the test has given the
// walk's own answer windowRun times in a row (at most windowBudget tests),
// and the end of a walk nearest the start in it is the answer.
#pragma once

#include <cstdint>

#include "sweep_state.hpp"

namespace sweeptri {

// Equal answers in a row that end a window, and the most tests a window
// may take. Lognormal sets (sigma 5 to 20) need runs of up to 12.
inline constexpr std::int32_t windowRun = 16;
inline constexpr std::int32_t windowBudget = 64;

// A bisection from lo (p right of lo, or lo the left sentinel) found `found`:
// p right of it and not of its right neighbour. The walk from lo stops at the
// first half-edge p is not right of: scanning left from found, the end of a
// walk (p right of it, not of its right neighbour) nearest lo. lo is not
// tested again; tests is raised by the tests made.
HalfEdge* walkAnswerMovingRight(HalfEdge* lo, HalfEdge* found, const Site* p, std::int32_t& tests);

// The same for a walk moving left from hi (p not right of hi, or hi the right
// sentinel): it stops at the first half-edge p is right of, so scanning right
// from found's right neighbour, the end of a walk nearest hi.
HalfEdge* walkAnswerMovingLeft(HalfEdge* hi, HalfEdge* found, const Site* p, std::int32_t& tests);

}  // namespace sweeptri
