#include "triangulate_command.hpp"

#include <cstdio>
#include <iostream>

#include "mapped_input_guard.hpp"
#include "memory_size.hpp"
#include "out_of_core_run.hpp"
#include "streamed_npy.hpp"
#include "usage_error.hpp"

namespace ky {

namespace {

const char* const triangulateHelp =
    "Writes the Delaunay triangulation of the points X, Y (.npy float64 vectors, read in place)\n"
    "to TRI.npy, an M-by-3 matrix of rows, holding about --memory-limit of memory whatever the\n"
    "number of points. The plane is cut into tiles by the points alone; each tile is\n"
    "triangulated on its own (--workers at once, as many as the limit holds), the triangles\n"
    "no outside point can change are written as they are, and the seams between tiles are\n"
    "completed at the end. Rows come in an order fixed by the points: the same for every\n"
    "--workers and every limit of 256M or more. Entries are float64 (as sweeptri returns\n"
    "them), int64 or int32, counting from --base, each row clockwise unless --orientation\n"
    "counterclockwise.\n"
    "Scratch goes to TRI.npy.scratch/ and the rows to TRI.npy.partial, which is renamed to\n"
    "TRI.npy once complete (and has no valid header before). A run stopped on its way keeps\n"
    "its scratch: --resume goes on from it, skipping the finished tiles.\n"
    "Progress goes to standard error every few seconds. Runs that cannot fit the disk or\n"
    "the memory limit, int32 indices beyond 2147483647, and repeated or non-finite points are\n"
    "refused at the start.\n"
    "Exit status: 0 when TRI.npy is written, 1 when the run failed on its way, 2 for a mistake\n"
    "in the arguments or a refused run.";

outofcore::IndexType indexType(const std::string& name)
{
    if (name == "float64") return outofcore::IndexType::Float64;
    if (name == "int64") return outofcore::IndexType::Int64;
    return outofcore::IndexType::Int32;
}

}  // namespace

TriangulateCommand::TriangulateCommand(CLI::App& app)
{
    command_ = app.add_subcommand("triangulate", "Delaunay triangulation of any number of points into a .npy file, out of core");
    command_->description(triangulateHelp);
    command_->add_option("X", x_, "npy:PATH of the x coordinates")->required();
    command_->add_option("Y", y_, "npy:PATH of the y coordinates")->required();
    command_->add_option("--out", outPath_, "the .npy file of rows")->required();
    command_->add_option("--memory-limit", memoryLimit_, "memory to hold at most, such as 512M or 2G (default 2G)");
    command_->add_option("--workers", workers_, "tiles triangulated at once (-1: all processors; default 1)")
        ->check(CLI::Range(-1, 4096));
    command_->add_option("--index", index_, "entry type of the rows: float64 (default), int64 or int32")
        ->check(CLI::IsMember({"float64", "int64", "int32"}));
    command_->add_option("--base", base_, "what indices count from: 1 (default) or 0")->check(CLI::IsMember({0, 1}));
    command_->add_option("--orientation", orientation_, "row orientation: clockwise (default) or counterclockwise")
        ->check(CLI::IsMember({"clockwise", "counterclockwise"}));
    command_->add_flag("--resume", resume_, "go on from the scratch folder of an earlier run");
    command_->add_option("--tile-points", tilePoints_, "points per tile (default: 2^19, less for small limits)")
        ->check(CLI::Range(std::int64_t{1}, std::int64_t{1} << 29));
    command_->add_option("--progress-seconds", progressSeconds_, "seconds between progress lines (default 5)")
        ->check(CLI::Range(0.05, 3600.0));
    command_->footer("");
}

int TriangulateCommand::run() const
{
    const std::optional<std::uint64_t> limit = inspect::parseMemorySize(memoryLimit_);
    if (!limit || *limit == 0) throw UsageError("--memory-limit must be a size such as 512M or 2G, not '" + memoryLimit_ + "'");
    std::uint64_t nx = 0, ny = 0;
    const double* x = openNpyCoordinates(x_, "X", nx);
    const double* y = openNpyCoordinates(y_, "Y", ny);
    if (nx != ny) throw UsageError("X and Y must have as many elements (" + std::to_string(nx) + " and " + std::to_string(ny) + ")");

    outofcore::Options options;
    options.outPath = outPath_;
    options.memoryLimit = *limit;
    options.workers = workers_;
    options.index = indexType(index_);
    options.base = base_;
    options.clockwise = orientation_ == "clockwise";
    options.resume = resume_;
    options.tilePoints = tilePoints_;
    options.progress = stderr;
    options.progressSeconds = progressSeconds_;
    options.releaseInputPages = true;
    options.messageBase = 1;
    // A coordinate file cut short while it is read ends the run with an
    // error instead of SIGBUS.
    options.guardInput = [](const std::function<void()>& body) { runGuarded(body); };
    try {
        const outofcore::Report report = outofcore::triangulateToFile(x, y, static_cast<std::int64_t>(nx), options);
        std::fprintf(stderr,
                     "triangulate: %lld rows of %lld points in %.1f s: %d tiles of about %lld points (%d resumed) on %d threads, "
                     "%lld seam points joined in %d rounds; output %s, peak scratch %s\n",
                     static_cast<long long>(report.rows), static_cast<long long>(report.points), report.seconds, report.tiles,
                     static_cast<long long>(report.tilePoints), report.tilesResumed, report.workers,
                     static_cast<long long>(report.seamPoints), report.seamRounds, inspect::memorySizeText(report.outputBytes).c_str(),
                     inspect::memorySizeText(report.peakScratchBytes).c_str());
        if (report.rows == 0 && report.points >= 3)
            std::fprintf(stderr, "warning: the points are all on one line: there are no triangles\n");
        return 0;
    } catch (const outofcore::Refusal& refusal) {
        std::cerr << "kyhost triangulate: " << refusal.what() << '\n';
        return 2;
    } catch (const outofcore::Failure& failure) {
        std::cerr << "kyhost triangulate: " << failure.what() << "\n(the finished tiles are kept in " << outPath_
                  << ".scratch/: run again with --resume to go on)\n";
        return 1;
    } catch (const InputChanged& changed) {
        std::cerr << "kyhost triangulate: " << changed.what() << '\n';
        return 1;
    } catch (const std::bad_alloc&) {
        std::cerr << "kyhost triangulate: out of memory (try a smaller --memory-limit or --workers)\n";
        return 1;
    } catch (const std::exception& error) {
        std::cerr << "kyhost triangulate: " << error.what() << '\n';
        return 1;
    }
}

}  // namespace ky
