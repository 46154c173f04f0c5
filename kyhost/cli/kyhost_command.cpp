#include "kyhost_command.hpp"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <vector>

#include "argument_kinds.hpp"
#include "call_runner.hpp"
#include "demo_command.hpp"
#include "host_functions.hpp"
#include "inspect_commands.hpp"
#include "plugin_loader.hpp"
#include "plugin_strings.hpp"
#include "result_output.hpp"
#include "usage_error.hpp"

namespace ky {

namespace {

// kyhost's own plug-in directory: lib/kyhost/plugins beside the bin/
// directory that holds the executable.
std::filesystem::path ownPluginDir()
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return "lib/kyhost/plugins";
    return self.parent_path().parent_path() / "lib" / "kyhost" / "plugins";
}

struct Target {
    kyxFunctionType entry = nullptr;
    std::filesystem::path library;  // empty for a host function
};

Target resolveFunction(const std::string& name)
{
    if (looksLikePath(name)) return {loadPlugin(name), name};
    const auto directories = pluginSearchPath(ownPluginDir());
    if (const auto library = findPlugin(name, directories)) return {loadPlugin(*library), *library};
    if (const HostFunction function = findHostFunction(name)) return {function, {}};
    std::string searched;
    for (const auto& directory : directories) searched += "\n  " + directory.string();
    throw UsageError("unknown function '" + name + "': no plug-in " + name + pluginSuffix +
                     " in the plug-in directories and no host function of that name; searched:" + searched);
}

int printStrings(const std::string& name)
{
    const Target target = resolveFunction(name);
    if (target.library.empty()) throw UsageError("'" + name + "' is a host function; it has no string table");
    for (const auto& [id, text] : readPluginStrings(target.library)) std::cout << id << ' ' << text << '\n';
    return 0;
}

int callFunction(const std::string& name, const std::vector<std::string>& argumentTexts, int outputCount,
                 const std::string& outPath, bool showTime)
{
    const Target target = resolveFunction(name);
    std::vector<ArrayHandle> arguments;
    for (const std::string& text : argumentTexts) arguments.push_back(parseArgument(text));
    std::vector<const kyArray*> inputs;
    for (const ArrayHandle& argument : arguments) inputs.push_back(argument.get());

    const CallOutcome outcome = runCall(target.entry, outputCount, inputs, [](const std::string& text) {
        std::cerr << "warning: " << text << '\n' << std::flush;
    });
    if (showTime) std::fprintf(stderr, "time: %.6f s\n", outcome.seconds);
    if (outcome.error) {
        std::cerr << "error: " << *outcome.error << '\n';
        return 1;
    }
    if (outcome.result) {
        if (outPath.empty())
            writeCsv(std::cout, outcome.result.get());
        else
            writeResultFile(outPath, outcome.result.get());
    } else if (outputCount > 0) {
        std::cerr << "error: " << name << " did not assign its output\n";
        return 1;
    }
    std::cout.flush();
    return 0;
}

}  // namespace

int runKyhost(int argc, char** argv)
{
    CLI::App app{"Calls Karvel plug-ins and host functions on data from files and the command line.\n"
                 "The result (output slot 0) is printed as CSV on standard output.",
                 "kyhost"};
    app.footer(std::string("FUNCTION is a plug-in name (looked up in kyhost's plug-in directory, then in each\n"
                           "directory of KYHOST_PATH), a path to a plug-in library, or the host function sparse.\n\n") +
               argumentKindsHelp);

    std::string function;
    std::vector<std::string> argumentTexts;
    int outputCount = 1;
    std::string outPath;
    bool showTime = false;
    bool showStrings = false;
    app.add_option("FUNCTION", function, "plug-in name or path, or host function");
    app.add_option("ARG", argumentTexts, "input arrays, KIND:VALUE");
    app.add_option("--nargout", outputCount, "number of outputs requested (default 1)")
        ->check(CLI::Range(0, 64));
    app.add_option("--out", outPath, "write the result to PATH (.npy or CSV) instead of standard output");
    app.add_flag("--time", showTime, "print the call's wall time on standard error");
    app.add_flag("--strings", showStrings, "print the plug-in's string table instead of calling it");

    DemoOptions demo;
    CLI::App* demoCommand = app.add_subcommand("demo", "triangulate and search random points, check and draw them");
    demoCommand->add_option("--points", demo.points, "number of random points (default 2000)")
        ->check(CLI::Range(0LL, 100000000LL));
    demoCommand->add_option("--seed", demo.seed, "random seed");
    demoCommand->add_option("--svg", demo.svgPath, "picture file (default demo.svg)");
    const inspect::InspectCommands inspectCommands(app, parseArgument);
    app.require_subcommand(0, 1);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForAllHelp& help) {
        return app.exit(help);
    } catch (const CLI::ParseError& error) {
        std::cerr << "kyhost: " << error.what() << "\n(run kyhost --help for usage)\n";
        return 2;
    }

    try {
        if (demoCommand->parsed()) {
            demo.pluginDir = ownPluginDir();
            return runDemo(demo);
        }
        if (inspectCommands.parsed()) return inspectCommands.run();
        if (function.empty()) throw UsageError("no FUNCTION given (run kyhost --help for usage)");
        if (showStrings) return printStrings(function);
        return callFunction(function, argumentTexts, outputCount, outPath, showTime);
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

}  // namespace ky
