#include "run_process.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace ky::testing {

namespace {

std::string slurp(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input,
                         const std::vector<std::pair<std::string, std::string>>& environment)
{
    char pattern[] = "/tmp/kyhost-test-XXXXXX";
    const std::filesystem::path dir = mkdtemp(pattern);
    const auto in = dir / "in", out = dir / "out", err = dir / "err";
    std::ofstream(in, std::ios::binary) << input;

    const pid_t child = fork();
    if (child == 0) {
        std::freopen(in.c_str(), "rb", stdin);
        std::freopen(out.c_str(), "wb", stdout);
        std::freopen(err.c_str(), "wb", stderr);
        for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> args;
        for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int wstatus = 0;
    waitpid(child, &wstatus, 0);
    ProcessResult result;
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    result.out = slurp(out);
    result.err = slurp(err);
    std::filesystem::remove_all(dir);
    return result;
}

}  // namespace ky::testing
