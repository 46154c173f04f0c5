// kyhost --version, --help with the plug-ins found, kyhost demo --help, the
// demo's fixed default seed, and the progress line (only on a terminal,
// never in the outputs).
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <thread>

#include "check_progress.hpp"
#include "progress_line.hpp"
#include "run_process.hpp"

namespace {

namespace fs = std::filesystem;
using ky::testing::ProcessResult;
using ky::testing::runProcess;

ProcessResult kyhost(std::vector<std::string> args, const std::vector<std::pair<std::string, std::string>>& env = {})
{
    args.insert(args.begin(), KY_KYHOST);
    return runProcess(args, "", env);
}

class ScratchDir : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("kyhost-help-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

TEST(KyhostVersion, PrintsTheVersionAndExitsZero)
{
    const ProcessResult result = kyhost({"--version"});
    EXPECT_EQ(result.status, 0);
    ASSERT_TRUE(result.out.starts_with("kyhost ") && result.out.ends_with("\n")) << result.out;
    const std::string version = result.out.substr(7, result.out.size() - 8);
    EXPECT_EQ(std::count(version.begin(), version.end(), '.'), 2) << version;
    EXPECT_EQ(version.find_first_not_of("0123456789."), std::string::npos) << version;
    EXPECT_EQ(result.err, "");
}

using KyhostHelp = ScratchDir;

TEST_F(KyhostHelp, ListsTheBuiltPluginsWithTheirCallFormsAndTheHostFunction)
{
    const ProcessResult result = kyhost({"--help"});
    EXPECT_EQ(result.status, 0);
    for (const char* form : {"TRI = sweeptri(X, Y[, \"sorted\"])", "K = nearwalk(X, Y, TRI, XI, YI[, S])",
                             "COUNT = byteappend(FILENAME, DATA)", "ZI = trinterp(X, Y, Z, TRI, XI, YI[, METHOD])",
                             "S = sparse(I, J, V, NR, NC)"})
        EXPECT_NE(result.out.find(form), std::string::npos) << form << "\n" << result.out;
    EXPECT_NE(result.out.find("csv:PATH"), std::string::npos);  // the argument kinds stay
    // Every separator a CSV selector takes is named.
    for (const char* separator : {"sep=comma", "sep=semicolon", "sep=tab", "sep=space"})
        EXPECT_NE(result.out.find(separator), std::string::npos) << separator;
}

TEST_F(KyhostHelp, ListsPluginsOnKyhostPathByNameAndOnlyTheOneThatLoads)
{
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "b");
    fs::copy_file(KY_PROBE_PLUGIN, dir / "a" / "myplugin.so");
    fs::copy_file(KY_PROBE_PLUGIN, dir / "b" / "myplugin.so");
    fs::copy_file(KY_PROBE_PLUGIN, dir / "b" / "sweeptri.so");  // hidden by the built one
    fs::create_directories(dir / "b" / "folder.so");            // not a library
    const std::string path = (dir / "a").string() + ":" + (dir / "b").string() + ":" + (dir / "none").string();
    const ProcessResult result = kyhost({"--help"}, {{"KYHOST_PATH", path}});
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("  myplugin "), std::string::npos) << result.out;
    EXPECT_NE(result.out.find((dir / "a" / "myplugin.so").string()), std::string::npos);
    EXPECT_EQ(result.out.find((dir / "b" / "myplugin.so").string()), std::string::npos);
    EXPECT_EQ(result.out.find((dir / "b" / "sweeptri.so").string()), std::string::npos);
    EXPECT_EQ(result.out.find("folder"), std::string::npos);
    EXPECT_NE(result.out.find("  " + (dir / "none").string() + "\n"), std::string::npos);  // searched, though missing
}

TEST(KyhostDemoHelp, ShowsOnlyTheDemosOwnOptions)
{
    const ProcessResult result = kyhost({"demo", "--help"});
    EXPECT_EQ(result.status, 0);
    for (const char* own : {"--points", "--seed", "--svg", "default 20261207"})
        EXPECT_NE(result.out.find(own), std::string::npos) << own << "\n" << result.out;
    for (const char* foreign : {"--nargout", "--out", "KIND:VALUE", "Plug-ins found", "FUNCTION"})
        EXPECT_EQ(result.out.find(foreign), std::string::npos) << foreign << "\n" << result.out;
}

using KyhostDemo = ScratchDir;

// Times and rates change from run to run; everything else must not. Each
// number right before " s" or " million queries/s" becomes "T".
std::string withoutTimes(const std::string& text)
{
    std::string result;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find_first_not_of("0123456789.e+-", at);
        if (end == at) {
            result += text[at++];
            continue;
        }
        const std::string_view after = std::string_view(text).substr(end == std::string::npos ? text.size() : end);
        const bool time = after.starts_with(" s") && (after.size() == 2 || !std::isalnum(static_cast<unsigned char>(after[2])));
        result += time || after.starts_with(" million queries/s") ? "T" : text.substr(at, end - at);
        at = end == std::string::npos ? text.size() : end;
    }
    return result;
}

TEST_F(KyhostDemo, PrintsTheSameEveryRunByDefault)
{
    const std::string svg = (dir / "demo.svg").string();
    const ProcessResult first = kyhost({"demo", "--points", "500", "--svg", svg});
    const ProcessResult second = kyhost({"demo", "--points", "500", "--svg", svg});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_NE(first.out.find("seed 20261207"), std::string::npos) << first.out;
    EXPECT_EQ(withoutTimes(first.out), withoutTimes(second.out));
}

// Runs kyhost with standard error on a terminal (a pseudo-terminal whose
// other end this test reads) and standard output on a pipe.
struct TerminalRun {
    int status = -1;
    std::string out, terminal;
};

TerminalRun runOnTerminal(const std::vector<std::string>& args)
{
    int outPipe[2];
    if (pipe(outPipe) != 0) return {};
    int master = -1;
    const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
    if (child == 0) {
        dup2(outPipe[1], STDOUT_FILENO);
        close(outPipe[0]);
        close(outPipe[1]);
        std::vector<char*> argv{const_cast<char*>(KY_KYHOST)};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    TerminalRun run;
    std::thread outReader([&] {
        char buffer[4096];
        for (ssize_t got; (got = read(outPipe[0], buffer, sizeof buffer)) > 0;) run.out.append(buffer, got);
        close(outPipe[0]);
    });
    char buffer[4096];
    // Reading the terminal ends with an error (EIO) once the child is gone.
    for (ssize_t got; (got = read(master, buffer, sizeof buffer)) > 0;) run.terminal.append(buffer, got);
    outReader.join();
    close(master);
    int status = 0;
    waitpid(child, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(KyhostProgress, ALongCallShowsAProgressLineOnATerminalAndClearsIt)
{
    const TerminalRun run = runOnTerminal({KY_PROBE_PLUGIN, "text:sleep", "num:3.2"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "3.2\n");
    const std::string name = std::string("running ") + KY_PROBE_PLUGIN + "... ";
    EXPECT_NE(run.terminal.find("\r" + name + "2 s"), std::string::npos) << run.terminal;
    EXPECT_NE(run.terminal.find("\r" + name + "3 s"), std::string::npos) << run.terminal;
    // Cleared: the last thing on the terminal is a return after blanks.
    ASSERT_FALSE(run.terminal.empty());
    EXPECT_EQ(run.terminal.back(), '\r');
}

TEST(KyhostProgress, NeverWhenStandardErrorIsAPipe)
{
    const ProcessResult result = kyhost({KY_PROBE_PLUGIN, "text:sleep", "num:2.5"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "2.5\n");
    EXPECT_EQ(result.err, "");
}

TEST(ProgressLine, AWarningClearsTheLineAndStandsOnItsOwn)
{
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    {
        ky::ProgressLine progress("work", true, stream, std::chrono::milliseconds(20));
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        progress.interject([&] { std::fputs("warning: w\n", stream); });
    }
    std::rewind(stream);
    std::string text;
    for (int c; (c = std::fgetc(stream)) != EOF;) text.push_back(static_cast<char>(c));
    std::fclose(stream);
    EXPECT_EQ(text, "\rrunning work... 0 s\r" + std::string(19, ' ') + "\rwarning: w\n");
}

TEST(ProgressLine, ADisabledOrShortCallWritesNothing)
{
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    {
        ky::ProgressLine disabled("work", false, stream, std::chrono::milliseconds(0));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    { ky::ProgressLine quick("work", true, stream, std::chrono::seconds(10)); }
    EXPECT_EQ(std::ftell(stream), 0);
    std::fclose(stream);
}

TEST(CheckProgressLines, ALineOncePerIntervalWithThePassAndTheRowsLeft)
{
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    const ky::inspect::CheckProgressReport report = ky::checkProgressLines(stream, 0.05);
    report({1, 1000, 4000});  // before the first interval ends: nothing
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    report({1, 2000000, 4000000});
    report({1, 3000000, 4000000});  // within the interval: nothing
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    report({2, 100, 4000000});
    std::rewind(stream);
    std::string text;
    for (int c; (c = std::fgetc(stream)) != EOF;) text.push_back(static_cast<char>(c));
    std::fclose(stream);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;
    EXPECT_EQ(text.rfind("check: pass 1, 2.0 M of 4.0 M rows, ", 0), 0u) << text;
    EXPECT_NE(text.find("\ncheck: pass 2, 100 of 4.0 M rows, "), std::string::npos) << text;
}

}  // namespace
