// A scratch directory per test and kyhost run as a process.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "run_process.hpp"

namespace ky::testing {

class KyhostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() /
              ("kyhost-cli-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string file(const std::string& name, const std::string& content)
    {
        const std::filesystem::path path = dir / name;
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }

    static ProcessResult kyhost(std::vector<std::string> args, const std::string& input = "",
                                const std::vector<std::pair<std::string, std::string>>& env = {})
    {
        args.insert(args.begin(), KY_KYHOST);
        return runProcess(args, input, env);
    }

    // kyhost through /bin/sh, for what a plain run cannot arrange: shell
    // is put before the command (such as "ulimit -v 1000000;"), redirect
    // after it (such as ">/dev/full" or "</tmp").
    static ProcessResult kyhostInShell(const std::string& shell, std::vector<std::string> args,
                                       const std::string& redirect)
    {
        std::vector<std::string> argv = {"/bin/sh", "-c", shell + " exec \"$0\" \"$@\" " + redirect, KY_KYHOST};
        argv.insert(argv.end(), args.begin(), args.end());
        return runProcess(argv);
    }

    // Calls the probe plug-in's echo action, which hands its input back.
    static ProcessResult echo(const std::string& argument)
    {
        return kyhost({KY_PROBE_PLUGIN, "text:echo", argument});
    }

    std::filesystem::path dir;
};

}  // namespace ky::testing
