// The subcommands "kyhost check X Y TRI" and "kyhost draw X Y TRI [XI YI K]
// --out FILE": their options, help texts and runs. Arguments are read by
// the caller's reader, so they take every KIND:VALUE form that kyhost's
// plug-in calls take.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <string>
#include <vector>

#include "host_array.hpp"
#include "streamed_check.hpp"
#include "triangulation_check.hpp"
#include "triangulation_picture.hpp"

namespace ky::inspect {

using ArgumentReader = std::function<ArrayHandle(const std::string&)>;
// Opens X, Y and TRI in place for the streamed check (check --memory-limit):
// the arguments as given, and the base TRI counts from.
using StreamedOpener = std::function<StreamedInputs(const std::string&, const std::string&, const std::string&, int)>;

// The Voronoi cells of the points clipped to their hull, from the rows of a
// Delaunay triangulation of them (draw --voronoi).
using CellOutliner = std::function<CellOutlines(const PointSet&, const TriangleRows&)>;
// The streamed check's progress report, writing a line every so many seconds.
using CheckProgressLines = std::function<CheckProgressReport(double seconds)>;

class InspectCommands {
public:
    InspectCommands(CLI::App& app, ArgumentReader reader, StreamedOpener opener = {}, CellOutliner outliner = {},
                    CheckProgressLines progress = {});
    bool parsed() const { return check_->parsed() || draw_->parsed(); }
    // The exit status: check 0 valid, 1 invalid; draw 0 when the picture is
    // written; 2 for a mistake in the arguments or a failed write. Errors
    // of the reader propagate.
    int run() const;

private:
    int runCheck() const;
    int runStreamedCheck() const;
    int runDraw() const;

    ArgumentReader reader_;
    StreamedOpener opener_;
    CellOutliner outliner_;
    CheckProgressLines progress_;  // the streamed check's progress lines
    double progressSeconds_ = 10;
    CLI::App* check_ = nullptr;
    CLI::App* draw_ = nullptr;
    std::vector<std::string> checkArgs_, drawArgs_;
    std::string outPath_, title_, format_, xLabel_, yLabel_;
    std::string orientation_ = "clockwise";
    std::string memoryLimit_;
    int base_ = 1;
    bool voronoi_ = false;
};

}  // namespace ky::inspect
