#include "demo_svg.hpp"

#include <cstdint>
#include <fstream>
#include <unordered_set>

namespace ky {

bool writeTriangulationSvg(const std::string& path, const DemoPoints& points, const std::vector<Triangle>& triangles,
                           const std::vector<SvgMarks>& extraMarks)
{
    std::ofstream out(path);
    if (!out) return false;
    const SvgFrame frame;
    const double side = frame.size + 2 * frame.margin;
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << side << "\" height=\"" << side
        << "\" viewBox=\"0 0 " << side << ' ' << side << "\">\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    out.precision(6);

    // Each edge once: an inner edge is held by two triangles, as u -> v and
    // as v -> u; it is drawn from the one with u < v. A hull edge is held by
    // one triangle only and is drawn from it.
    std::unordered_set<std::uint64_t> directed;
    const auto key = [](std::size_t u, std::size_t v) { return static_cast<std::uint64_t>(u) << 32 | v; };
    for (const Triangle& t : triangles)
        for (int c = 0; c < 3; ++c) directed.insert(key(static_cast<std::size_t>(t[c]), static_cast<std::size_t>(t[(c + 1) % 3])));
    out << "<path fill=\"none\" stroke=\"#3060a0\" stroke-width=\"0.4\" d=\"";
    for (const Triangle& t : triangles)
        for (int c = 0; c < 3; ++c) {
            const auto u = static_cast<std::size_t>(t[c]);
            const auto v = static_cast<std::size_t>(t[(c + 1) % 3]);
            if (u > v && directed.count(key(v, u)) != 0) continue;
            out << 'M' << frame.px(points.x[u]) << ' ' << frame.py(points.y[u]) << 'L' << frame.px(points.x[v]) << ' '
                << frame.py(points.y[v]);
        }
    out << "\"/>\n";

    out << "<g fill=\"#c03020\">\n";
    const double radius = points.size() > 5000 ? 0.8 : 1.6;
    for (std::size_t i = 0; i < points.size(); ++i)
        out << "<circle cx=\"" << frame.px(points.x[i]) << "\" cy=\"" << frame.py(points.y[i]) << "\" r=\"" << radius
            << "\"/>\n";
    out << "</g>\n";

    for (const SvgMarks& marks : extraMarks) marks(out, frame);
    out << "</svg>\n";
    return static_cast<bool>(out);
}

}  // namespace ky
