#include "kyhost_command.hpp"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <vector>

#include <unistd.h>

#include "argument_kinds.hpp"
#include "call_context.hpp"
#include "check_progress.hpp"
#include "demo_command.hpp"
#include "duplicate_points.hpp"
#include "inspect_commands.hpp"
#include "kyhost_embed.hpp"
#include "message_text.hpp"
#include "output_file.hpp"
#include "plugin_listing.hpp"
#include "plugin_loader.hpp"
#include "plugin_strings.hpp"
#include "point_faults.hpp"
#include "progress_line.hpp"
#include "result_output.hpp"
#include "streamed_npy.hpp"
#include "triangulate_command.hpp"
#include "usage_error.hpp"
#include "voronoi_command.hpp"

namespace ky {

namespace {

// The function by name or path, through the runtime's lookup.
const kyhostFunction* resolveFunction(const std::string& name)
{
    const kyhostFunction* function = kyhostFind(name.c_str());
    if (function == nullptr) throw UsageError(kyhostLastError());
    return function;
}

// Warnings go to standard error as they are issued, clearing the progress
// line (user data) first.
int printWarning(const char* text, void* progressLine)
{
    static_cast<ProgressLine*>(progressLine)->interject([text] { std::cerr << "warning: " << text << '\n' << std::flush; });
    return 0;
}

// --quiet: warnings are dropped; the call goes on as with printWarning.
int dropWarning(const char*, void*) { return 0; }

int printStrings(const std::string& name)
{
    const std::string library = kyhostFunctionLibrary(resolveFunction(name));
    if (library.empty()) throw UsageError("'" + name + "' is a host function; it has no string table");
    for (const auto& [id, text] : readPluginStrings(library)) std::cout << id << ' ' << text << '\n';
    return 0;
}

// The plug-in a function is, by its library's name ("sweeptri" for
// .../sweeptri.so), or "" for a host function.
std::string pluginName(const kyhostFunction* function)
{
    const std::string library = kyhostFunctionLibrary(function);
    return library.empty() ? std::string() : std::filesystem::path(library).stem().string();
}

// True when TRI (a real matrix) holds an entry 0: a 0-based TRI, as scipy
// and matplotlib write them, where the plug-ins count rows from 1.
bool holdsIndexZero(const kyArray* tri)
{
    if (tri->arrayClass != ArrayClass::Double) return false;
    const auto* values = static_cast<const double*>(tri->data);
    return std::find(values, values + elementCount(tri), 0.0) != values + elementCount(tri);
}

// A word for the user beside the plug-in's own error, or "".
std::string errorNote(const std::string& plugin, const std::string& error, const std::vector<const kyArray*>& inputs,
                      bool merged)
{
    if (inputs.size() < 2) return {};
    std::string note = inspect::describePointFault(error, inputs[0], inputs[1]);
    if (plugin == "sweeptri" && error == inspect::repeatedPointsError && !merged)
        note += (note.empty() ? "" : "; ") +
                std::string("pass --merge-duplicates to keep the first point of each place");
    return note;
}

// nearwalk builds TRI's neighbour matrix with the host's sparse, whose
// error on a 0-based TRI speaks of a row index, not of TRI: the error in
// words, or "" for any other error.
std::string zeroBasedTriError(const std::string& plugin, const std::string& error,
                              const std::vector<const kyArray*>& inputs)
{
    if (plugin != "nearwalk" || inputs.size() < 3 || !holdsIndexZero(inputs[2]) ||
        error.find("sparse") == std::string::npos)
        return {};
    return "TRI holds index 0, but nearwalk counts TRI's points from 1 (as sweeptri returns them): a 0-based "
           "TRI (as scipy's and matplotlib's simplices) needs 1 added to every entry";
}

int callFunction(const std::string& name, const std::vector<std::string>& argumentTexts, int outputCount,
                 const std::string& outPath, bool showTime, bool quiet, bool mergeDuplicates)
{
    const kyhostFunction* function = resolveFunction(name);
    const std::string plugin = pluginName(function);
    if (mergeDuplicates && plugin != "sweeptri")
        throw UsageError("--merge-duplicates is an option of sweeptri only, not of " + inQuotes(name));
    std::vector<ArrayHandle> arguments;
    for (const std::string& text : argumentTexts) arguments.push_back(parseArgument(text));
    // The first point at each place is triangulated, its repeats left out;
    // the rows are renumbered to the points as given below.
    MergedPoints merged;
    if (mergeDuplicates && arguments.size() >= 2) {
        merged = mergeDuplicatePoints(arguments[0].get(), arguments[1].get());
        if (merged.x) {
            arguments[0] = std::move(merged.x);
            arguments[1] = std::move(merged.y);
            if (!quiet)
                std::cerr << "note: " << merged.given - merged.kept.size() << " repeated point"
                          << (merged.given - merged.kept.size() == 1 ? " was" : "s were")
                          << " left out; the rows name the points as given\n";
        }
    }
    std::vector<const kyArray*> inputs;
    for (const ArrayHandle& argument : arguments) inputs.push_back(argument.get());

    kyhost::CallRecord call;
    {
        // On a terminal, a call that runs for a while shows that it runs.
        ProgressLine progress(name, isTerminal(STDERR_FILENO));
        call.reset(kyhostRun(function, outputCount, static_cast<int>(inputs.size()), inputs.data(),
                             quiet ? dropWarning : printWarning, &progress));
    }
    if (!call) throw CallError(kyhostLastError());
    if (showTime) std::fprintf(stderr, "time: %.6f s\n", kyhostCallSeconds(call.get()));
    if (const char* error = kyhostCallError(call.get())) {
        if (const std::string words = zeroBasedTriError(plugin, error, inputs); !words.empty()) {
            std::cerr << "error: " << words << "\nnote: " << plugin << "'s own message: " << error << '\n';
            return 1;
        }
        std::cerr << "error: " << error << '\n';
        if (const std::string note = errorNote(plugin, error, inputs, !merged.kept.empty()); !note.empty())
            std::cerr << "note: " << note << '\n';
        return 1;
    }
    ArrayHandle renumbered;
    const kyArray* result = kyhostCallResult(call.get(), 0);
    if (result != nullptr && !merged.kept.empty() && result->arrayClass == ArrayClass::Double) {
        renumbered = renumberRows(result, merged.kept);
        result = renumbered.get();
    }
    if (result != nullptr) {
        if (outPath.empty())
            writeResultToStandardOutput(result);
        else
            writeResultFile(outPath, result);
    } else if (outputCount > 0) {
        std::cerr << "error: " << name << " did not assign its output\n";
        return 1;
    }
    return 0;
}

int runCommand(int argc, char** argv)
{
    CLI::App app{"Calls Karvel plug-ins and host functions on data from files and the command line.\n"
                 "The result (output slot 0) is printed as CSV on standard output.",
                 "kyhost"};
    app.footer([] {
        return std::string("FUNCTION is a plug-in name (looked up in kyhost's plug-in directory, then in each\n"
                           "directory of KYHOST_PATH), a path to a plug-in library, or the host function sparse.\n\n") +
               pluginListingHelp(pluginSearchPath(hostPluginDir())) + "\n" + argumentKindsHelp;
    });
    app.set_version_flag("--version", "kyhost " KY_VERSION);

    std::string function;
    std::vector<std::string> argumentTexts;
    int outputCount = 1;
    std::string outPath;
    bool showTime = false;
    bool showStrings = false;
    bool quiet = false;
    bool mergeDuplicates = false;
    app.add_option("FUNCTION", function, "plug-in name or path, or host function");
    app.add_option("ARG", argumentTexts, "input arrays, KIND:VALUE");
    app.add_option("--nargout", outputCount, "number of outputs requested (default 1)")
        ->check(CLI::Range(0, 64));
    app.add_option("--out", outPath, "write the result to PATH (.npy or CSV) instead of standard output");
    app.add_flag("--time", showTime, "print the call's wall time on standard error");
    app.add_flag("--strings", showStrings, "print the plug-in's string table instead of calling it");
    app.add_flag("--quiet", quiet, "do not print the plug-in's warnings on standard error");
    app.add_flag("--merge-duplicates", mergeDuplicates,
                 "sweeptri only: triangulate the first point at each place and leave out its repeats (the "
                 "rows name the points as given) instead of failing with \"x-y data must be unique\"");

    DemoOptions demo;
    CLI::App* demoCommand = app.add_subcommand("demo", "triangulate and search random points, check and draw them");
    demoCommand->add_option("--points", demo.points, "number of random points (default 2000)")
        ->check(CLI::Range(0LL, 100000000LL));
    demoCommand->add_option("--seed", demo.seed,
                            "random seed (default " + std::to_string(demo.seed) + ", so that every run draws the same points)");
    demoCommand->add_option("--svg", demo.svgPath, "picture file (default demo.svg)");
    demoCommand->footer("");  // its own options only, not kyhost's footer
    const inspect::InspectCommands inspectCommands(app, parseArgument, openStreamedNpyInputs, hullCellOutlines,
                                                   [](double seconds) { return checkProgressLines(stderr, seconds); });
    const VoronoiCommand voronoiCommand(app, parseArgument);
    const TriangulateCommand triangulateCommand(app);
    app.require_subcommand(0, 1);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForAllHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForVersion& version) {
        return app.exit(version);
    } catch (const CLI::ParseError& error) {
        std::cerr << "kyhost: " << error.what() << "\n(run kyhost --help for usage)\n";
        return 2;
    }

    try {
        if (demoCommand->parsed()) {
            demo.pluginDir = kyhostPluginDirectory();
            return runDemo(demo);
        }
        if (inspectCommands.parsed()) return inspectCommands.run();
        if (voronoiCommand.parsed()) return voronoiCommand.run();
        if (triangulateCommand.parsed()) return triangulateCommand.run();
        if (function.empty()) throw UsageError("no FUNCTION given (run kyhost --help for usage)");
        if (showStrings) return printStrings(function);
        return callFunction(function, argumentTexts, outputCount, outPath, showTime, quiet, mergeDuplicates);
    } catch (const UsageError& error) {
        std::cerr << "kyhost: " << error.what() << '\n';
        return 2;
    } catch (const LoadError& error) {
        std::cerr << "kyhost: " << error.what() << '\n';
        return 2;
    } catch (const CallError& error) {
        // A host error outside a call, such as an array too large to create.
        std::cerr << "kyhost: " << error.what() << '\n';
        return 2;
    } catch (const std::bad_alloc&) {
        std::cerr << "kyhost: out of memory\n";
        return 2;
    }
}

}  // namespace

int runKyhost(int argc, char** argv)
{
    const int status = runCommand(argc, argv);
    // Whatever went to standard output must have arrived, or the run failed.
    if (const std::string problem = checkStandardOutput(); !problem.empty()) {
        std::cerr << "kyhost: " << problem << '\n';
        return status == 0 ? 2 : status;
    }
    return status;
}

}  // namespace ky
