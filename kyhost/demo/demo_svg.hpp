// The demo's picture: the triangulation as an SVG drawing in a square box,
// with a hook through which other demo steps add their own marks.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "demo_points.hpp"
#include "demo_triangulation.hpp"

namespace ky {

// Maps unit-square coordinates onto the picture (y upward on the page).
struct SvgFrame {
    double size = 800;   // side of the drawing box in pixels
    double margin = 10;  // blank border around it
    double px(double x) const { return margin + x * size; }
    double py(double y) const { return margin + (1.0 - y) * size; }
};

// Writes extra SVG elements on top of the triangulation.
using SvgMarks = std::function<void(std::ostream&, const SvgFrame&)>;

// Largest point count that is still drawn.
inline constexpr std::size_t maxDrawnPoints = 20000;

// Writes the picture; false when the file cannot be written.
bool writeTriangulationSvg(const std::string& path, const DemoPoints& points, const std::vector<Triangle>& triangles,
                           const std::vector<SvgMarks>& extraMarks = {});

}  // namespace ky
