// The check's report as text: what was checked, one line per kind of fault
// with its count and the first few offenders (rows, points and indices
// counted from TRI's base: 1-based as sweeptri returns them, or 0-based),
// and a last line with the verdict.
#pragma once

#include <ostream>
#include <string>

#include "triangulation_check.hpp"

namespace ky::inspect {

// Offenders listed per kind of fault.
inline constexpr std::size_t listedOffenders = 5;

void writeCheckReport(std::ostream& out, const CheckReport& report, const TriangleRows& tri);

// The verdict, one line without its line end: "valid: ..." or "invalid: ...".
std::string verdictLine(const CheckReport& report);

}  // namespace ky::inspect
