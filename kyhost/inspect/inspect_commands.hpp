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

namespace ky::inspect {

using ArgumentReader = std::function<ArrayHandle(const std::string&)>;

class InspectCommands {
public:
    InspectCommands(CLI::App& app, ArgumentReader reader);
    bool parsed() const { return check_->parsed() || draw_->parsed(); }
    // The exit status: check 0 valid, 1 invalid; draw 0 when the picture is
    // written; 2 for a mistake in the arguments or a failed write. Errors
    // of the reader propagate.
    int run() const;

private:
    int runCheck() const;
    int runDraw() const;

    ArgumentReader reader_;
    CLI::App* check_ = nullptr;
    CLI::App* draw_ = nullptr;
    std::vector<std::string> checkArgs_, drawArgs_;
    std::string outPath_, title_, format_, xLabel_, yLabel_;
    std::string orientation_ = "clockwise";
};

}  // namespace ky::inspect
