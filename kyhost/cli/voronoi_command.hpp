// The subcommand "kyhost voronoi X Y [--clip ...] --out FILE": the Voronoi
// cells of the points, clipped to a box, the hull or a polygon, written as
// GeoJSON or CSV.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <string>
#include <vector>

#include "host_array.hpp"
#include "triangulation_picture.hpp"

namespace ky {

// The cells of the points clipped to their hull from the rows of a Delaunay
// triangulation of them, as outlines for kyhost draw --voronoi.
inspect::CellOutlines hullCellOutlines(const inspect::PointSet& points, const inspect::TriangleRows& tri);

class VoronoiCommand {
public:
    using ArgumentReader = std::function<ArrayHandle(const std::string&)>;
    VoronoiCommand(CLI::App& app, ArgumentReader reader);
    bool parsed() const { return command_->parsed(); }
    // 0 when the cells are written; 1 when the points cannot be
    // triangulated; 2 for a mistake in the arguments or data, or a failed
    // write (UsageError propagates).
    int run() const;

private:
    ArgumentReader reader_;
    CLI::App* command_ = nullptr;
    std::vector<std::string> arguments_;
    std::string clip_ = "hull";
    std::string outPath_;
};

}  // namespace ky
