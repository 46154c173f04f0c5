// The subcommand "kyhost triangulate npy:X npy:Y --out TRI.npy": the Delaunay
// triangulation of points of any number, held in memory a tile at a time
// and written to one .npy file through a scratch folder beside it.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <string>

namespace ky {

class TriangulateCommand {
public:
    explicit TriangulateCommand(CLI::App& app);
    bool parsed() const { return command_->parsed(); }
    // 0 when TRI.npy is written; 1 when the run failed on its way (its
    // scratch is kept for --resume); 2 for a mistake in the arguments or a
    // run refused at the start (UsageError propagates).
    int run() const;

private:
    CLI::App* command_ = nullptr;
    std::string x_, y_, outPath_;
    std::string memoryLimit_ = "2G";
    int workers_ = 1;
    std::string index_ = "float64";
    int base_ = 1;
    std::string orientation_ = "clockwise";
    bool resume_ = false;
    std::int64_t tilePoints_ = 0;
    double progressSeconds_ = 5;
};

}  // namespace ky
