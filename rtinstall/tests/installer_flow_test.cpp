// Unit tests of the main flow, its outcomes and edge cases, against the
// in-memory platform.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "test_support.hpp"

namespace rtinstall::testing {
namespace {

std::string sz(const std::string& text) { return text + std::string(1, '\0'); }

// ---- banner and prompt -----------------------------------------------------

TEST_F(InstallerTest, PrintsBannerThenPromptWithCurrentDirectoryAsDefault) {
    EXPECT_EQ(run("lib\n"), 0);
    EXPECT_EQ(platform.output(), kBanner + promptFor("C:\\work"));
    EXPECT_EQ(platform.error(), "");
    expectToolDeletedLast();
}

TEST_F(InstallerTest, BannerIsWrittenLineByLine) {
    run("lib\n");
    std::vector<std::string> writes;
    for (const std::string& event : platform.events) {
        if (event.rfind("stdout ", 0) == 0) {
            writes.push_back(event.substr(7));
        }
    }
    // 1 version line, 4 blank lines, 5 licence lines, 5 PATH lines, 3 note lines.
    ASSERT_GE(writes.size(), 18u);
    std::string joined;
    for (std::size_t i = 0; i < 18; ++i) {
        ASSERT_FALSE(writes[i].empty());
        EXPECT_EQ(writes[i].find('\n'), writes[i].size() - 1) << "write " << i << ": " << writes[i];
        joined += writes[i];
    }
    EXPECT_EQ(joined, kBanner);
    EXPECT_EQ(writes[0], "Karvel Vantorel Installer version 1.0.\n");
}

TEST_F(InstallerTest, LicenceParagraphHasFiveLines) {
    const std::size_t start = kBanner.find("\n\n") + 2;
    const std::size_t end = kBanner.find("\n\n", start);
    const std::string paragraph = kBanner.substr(start, end + 1 - start);
    EXPECT_EQ(std::count(paragraph.begin(), paragraph.end(), '\n'), 5);
}

TEST_F(InstallerTest, PromptIsShownAndFlushedBeforeTheAnswerIsRead) {
    run("lib\n");
    ASSERT_TRUE(platform.outputFlushedAtFirstRead().has_value());
    EXPECT_EQ(*platform.outputFlushedAtFirstRead(), kBanner + promptFor("C:\\work"));
}

TEST_F(InstallerTest, DefaultStaysEmptyWhenCurrentDirectoryIsUnavailable) {
    platform.setCurrentDirectoryFails(true);
    platform.addDirectory("D:\\");
    EXPECT_EQ(run("D:\\rt\n"), 0);
    EXPECT_EQ(platform.output(), kBanner + promptFor(""));
    EXPECT_EQ(platform.commands, std::vector<std::string>{commandFor("D:\\rt")});
}

TEST_F(InstallerTest, EmptyAnswerWithEmptyDefaultCannotBeCreated) {
    platform.setCurrentDirectoryFails(true);
    EXPECT_EQ(run("\n"), -1);
    EXPECT_EQ(platform.error(), couldNotCreate(""));
    EXPECT_TRUE(platform.commands.empty());
    expectToolDeletedLast();
}

TEST_F(InstallerTest, DefaultStaysEmptyWhenCurrentDirectoryDoesNotFit) {
    const std::string longDir = "C:\\" + std::string(200, 'd') + "\\" + std::string(100, 'e');  // 304 chars
    platform.setCurrentDirectory(longDir);
    platform.addFile(longDir + "\\quarrex.exe");
    EXPECT_EQ(run("C:\\rt\n"), 0);
    EXPECT_EQ(platform.output(), kBanner + promptFor(""));
    expectToolDeletedLast(longDir + "\\quarrex.exe");
}

TEST_F(InstallerTest, CurrentDirectoryOf259CharactersIsTheDefault) {
    const std::string dir = "C:\\" + std::string(200, 'd') + "\\" + std::string(55, 'e');
    ASSERT_EQ(dir.size(), 259u);
    platform.setCurrentDirectory(dir);
    platform.addFile(dir + "\\quarrex.exe");
    EXPECT_EQ(run("\n"), 0);
    EXPECT_EQ(platform.output(), kBanner + promptFor(dir));
    EXPECT_EQ(recorded(), sz(dir));
}

// ---- already installed -----------------------------------------------------

TEST_F(InstallerTest, RecordedExistingDirectoryPromptsForNothingAndRunsNothing) {
    platform.addDirectory("D:\\Vantorel");
    platform.setRegistryText(kRegKey, "InstallDir", "D:\\Vantorel");
    EXPECT_EQ(run("C:\\elsewhere\n"), 0);
    EXPECT_EQ(platform.output(),
              kBanner + "Run-time libraries already installed at 'D:\\Vantorel'. Not reinstalling.\n");
    EXPECT_EQ(platform.error(), "");
    EXPECT_EQ(platform.readCount(), 0);
    EXPECT_TRUE(platform.createAttempts.empty());
    EXPECT_TRUE(platform.commands.empty());
    EXPECT_EQ(std::count(platform.events.begin(), platform.events.end(), "current directory"), 0);
    EXPECT_EQ(recorded(), sz("D:\\Vantorel"));
    EXPECT_FALSE(platform.directoryExists("C:\\elsewhere"));
    expectToolDeletedLast();
}

TEST_F(InstallerTest, AlreadyInstalledWithToolAbsentIsSilentAndSucceeds) {
    platform.setRegistryText(kRegKey, "InstallDir", "C:\\work");
    ASSERT_EQ(platform.deleteFile("quarrex.exe"), 0);
    platform.events.clear();
    EXPECT_EQ(run(""), 0);
    EXPECT_EQ(platform.output(), kBanner + "Run-time libraries already installed at 'C:\\work'. Not reinstalling.\n");
    EXPECT_EQ(platform.error(), "");
    expectToolDeletedLast();
}

struct NotInstalledCase {
    const char* name;
    void (*prepare)(MemoryPlatform&);
};

void PrintTo(const NotInstalledCase& c, std::ostream* os) { *os << c.name; }

class NotInstalledTest : public InstallerTest, public ::testing::WithParamInterface<NotInstalledCase> {};

TEST_P(NotInstalledTest, CountsAsNotInstalledAndSaysNothingAboutIt) {
    GetParam().prepare(platform);
    EXPECT_EQ(run("lib\n"), 0);
    EXPECT_EQ(platform.output(), kBanner + promptFor("C:\\work"));
    EXPECT_EQ(platform.error(), "");
    EXPECT_EQ(platform.commands, std::vector<std::string>{commandFor("C:\\work\\lib")});
    EXPECT_EQ(recorded(), sz("C:\\work\\lib"));
    expectToolDeletedLast();
}

INSTANTIATE_TEST_SUITE_P(
    Registry, NotInstalledTest,
    ::testing::Values(
        NotInstalledCase{"NoKey", [](MemoryPlatform&) {}},
        NotInstalledCase{"KeyWithoutValue", [](MemoryPlatform& p) { p.addRegistryKey(kRegKey); }},
        NotInstalledCase{"KeyCannotBeOpened",
                         [](MemoryPlatform& p) {
                             p.setRegistryText(kRegKey, "InstallDir", "C:\\work");
                             p.openForReadError = kErrorAccessDenied;
                         }},
        NotInstalledCase{"RecordedPathMissing",
                         [](MemoryPlatform& p) { p.setRegistryText(kRegKey, "InstallDir", "C:\\gone"); }},
        NotInstalledCase{"RecordedPathIsAFile",
                         [](MemoryPlatform& p) {
                             p.addFile("C:\\afile");
                             p.setRegistryText(kRegKey, "InstallDir", "C:\\afile");
                         }},
        NotInstalledCase{"EmptyValue", [](MemoryPlatform& p) { p.setRegistryBytes(kRegKey, "InstallDir", {}); }},
        NotInstalledCase{"ValueLongerThan260Bytes",
                         [](MemoryPlatform& p) {
                             p.setRegistryText(kRegKey, "InstallDir", "C:\\work\\" + std::string(300, 'x'));
                         }},
        NotInstalledCase{"ValueOf260BytesWithoutTerminator",
                         [](MemoryPlatform& p) {
                             // An existing directory followed by padding:
                             // without a terminator it must not be read on.
                             std::string text = "C:\\work";
                             text.resize(260, ' ');
                             p.setRegistryBytes(kRegKey, "InstallDir",
                                                std::vector<unsigned char>(text.begin(), text.end()));
                         }},
        NotInstalledCase{"ShortValueWithoutTerminator",
                         [](MemoryPlatform& p) {
                             const std::string text = "C:\\work";
                             p.setRegistryBytes(kRegKey, "InstallDir",
                                                std::vector<unsigned char>(text.begin(), text.end()));
                         }}),
    [](const ::testing::TestParamInfo<NotInstalledCase>& info) { return std::string(info.param.name); });

TEST_F(InstallerTest, RecordedValueOf259CharactersIsRead) {
    const std::string dir = "C:\\" + std::string(200, 'a') + "\\" + std::string(55, 'b');
    ASSERT_EQ(dir.size(), 259u);
    platform.addDirectory(dir);
    platform.setRegistryText(kRegKey, "InstallDir", dir);
    EXPECT_EQ(run(""), 0);
    EXPECT_EQ(platform.output(),
              kBanner + "Run-time libraries already installed at '" + dir + "'. Not reinstalling.\n");
    expectToolDeletedLast();
}

TEST_F(InstallerTest, RecordedValueIsReadUpToItsFirstTerminator) {
    std::vector<unsigned char> data;
    for (char c : std::string("C:\\work")) data.push_back(static_cast<unsigned char>(c));
    data.push_back(0);
    for (char c : std::string("junk")) data.push_back(static_cast<unsigned char>(c));
    platform.setRegistryBytes(kRegKey, "InstallDir", data);
    EXPECT_EQ(run(""), 0);
    EXPECT_EQ(platform.output(), kBanner + "Run-time libraries already installed at 'C:\\work'. Not reinstalling.\n");
}

TEST_F(InstallerTest, RecordedValueTypeIsNotExamined) {
    std::vector<unsigned char> data{'C', ':', '\\', 'w', 'o', 'r', 'k', 0};
    platform.setRegistryBytes(kRegKey, "InstallDir", data, 2 /* REG_EXPAND_SZ */);
    EXPECT_EQ(run(""), 0);
    EXPECT_EQ(platform.readCount(), 0);
}

TEST_F(InstallerTest, KeyIsClosedWhenTheValueCannotBeRead) {
    platform.addRegistryKey(kRegKey);
    run("lib\n");
    const auto query = std::find(platform.events.begin(), platform.events.end(), "registry query InstallDir");
    ASSERT_NE(query, platform.events.end());
    ASSERT_NE(query + 1, platform.events.end());
    EXPECT_EQ(*(query + 1), "registry close");
    expectToolDeletedLast();
}

// ---- reading the answer ------------------------------------------------------

TEST_F(InstallerTest, EndOfInputBeforeAnyCharacterInstallsNothing) {
    EXPECT_EQ(run(""), -1);
    EXPECT_EQ(platform.output(), kBanner + promptFor("C:\\work"));
    EXPECT_EQ(platform.error(),
              "Error: standard input ended before a directory was entered. Nothing was installed.\n");
    EXPECT_TRUE(platform.createAttempts.empty());
    EXPECT_TRUE(platform.commands.empty());
    EXPECT_EQ(recorded(), "<none>");
    expectToolDeletedLast();
}

TEST_F(InstallerTest, AnEmptyLineIsAnAnswerNotEndOfInput) {
    EXPECT_EQ(run("\n"), 0);
    EXPECT_EQ(platform.error(), "");
    EXPECT_EQ(platform.commands, std::vector<std::string>{commandFor("C:\\work")});
}

TEST_F(InstallerTest, CarriageReturnBeforeTheLineFeedIsRemoved) {
    EXPECT_EQ(run("lib\r\n"), 0);
    EXPECT_EQ(platform.commands, std::vector<std::string>{commandFor("C:\\work\\lib")});
}

TEST_F(InstallerTest, LastLineWithoutTerminatorIsTheAnswer) {
    EXPECT_EQ(run("lib"), 0);
    EXPECT_EQ(platform.commands, std::vector<std::string>{commandFor("C:\\work\\lib")});
}

TEST_F(InstallerTest, OnlyTheFirstLineIsRead) {
    EXPECT_EQ(run("lib\nother\n"), 0);
    EXPECT_EQ(platform.commands, std::vector<std::string>{commandFor("C:\\work\\lib")});
    EXPECT_FALSE(platform.directoryExists("C:\\work\\other"));
}

TEST_F(InstallerTest, AnswerOf259CharactersIsAccepted) {
    const std::string dir = "C:\\" + std::string(200, 'a') + "\\" + std::string(55, 'b');
    ASSERT_EQ(dir.size(), 259u);
    EXPECT_EQ(run(dir + "\n"), 0);
    EXPECT_EQ(platform.commands, std::vector<std::string>{commandFor(dir)});
    EXPECT_EQ(recorded(), sz(dir));
    EXPECT_TRUE(platform.directoryExists(dir));
}

TEST_F(InstallerTest, AnswerOf260CharactersIsRefusedNotCut) {
    const std::string dir = "C:\\" + std::string(200, 'a') + "\\" + std::string(56, 'b');
    ASSERT_EQ(dir.size(), 260u);
    EXPECT_EQ(run(dir + "\r\n"), -1);
    EXPECT_EQ(platform.error(), couldNotCreate(dir));
    EXPECT_TRUE(platform.createAttempts.empty());
    EXPECT_TRUE(platform.commands.empty());
    EXPECT_EQ(recorded(), "<none>");
    expectToolDeletedLast();
}

TEST_F(InstallerTest, AnswerWithANulByteIsRefusedNotCut) {
    const std::string typed = std::string("C:\\lib\0x", 8);
    EXPECT_EQ(run(typed + "\n"), -1);
    EXPECT_EQ(platform.error(), couldNotCreate("C:\\lib<NUL>x"));
    EXPECT_TRUE(platform.createAttempts.empty());
    EXPECT_TRUE(platform.commands.empty());
    EXPECT_EQ(recorded(), "<none>");
    expectToolDeletedLast();
}

// ---- resolving the answer ----------------------------------------------------

struct ResolveCase {
    const char* name;
    const char* answer;
    const char* resolved;
};

void PrintTo(const ResolveCase& c, std::ostream* os) { *os << c.name << ": " << c.answer << " -> " << c.resolved; }

class ResolveTest : public InstallerTest, public ::testing::WithParamInterface<ResolveCase> {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        platform.addDirectory("C:\\lib");  // for \lib and /lib, which are not joined
        platform.addDrive('D');
    }
};

TEST_P(ResolveTest, ResolvesAndInstalls) {
    const ResolveCase& c = GetParam();
    EXPECT_EQ(run(std::string(c.answer) + "\n"), 0);
    EXPECT_EQ(platform.error(), "");
    EXPECT_EQ(platform.commands, std::vector<std::string>{commandFor(c.resolved)});
    EXPECT_EQ(recorded(), sz(c.resolved));
    expectToolDeletedLast();
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ResolveTest,
    ::testing::Values(ResolveCase{"Empty", "", "C:\\work"},                          //
                      ResolveCase{"Relative", "lib", "C:\\work\\lib"},               //
                      ResolveCase{"RelativeNested", "lib\\x64", "C:\\work\\lib\\x64"},
                      ResolveCase{"DotRelative", ".\\lib", "C:\\work\\.\\lib"},
                      ResolveCase{"DriveOnly", "D:", "D:"},                          //
                      ResolveCase{"DriveRelative", "D:lib", "D:lib"},                //
                      ResolveCase{"DriveAbsolute", "D:\\lib", "D:\\lib"},            //
                      ResolveCase{"RootRelativeBackslash", "\\lib", "\\lib"},        //
                      ResolveCase{"RootRelativeSlash", "/lib", "/lib"},              //
                      ResolveCase{"AbsoluteWithSlashes", "C:/lib", "C:/lib"},        //
                      ResolveCase{"WithSpaces", "C:\\Program Files\\Vantorel RT", "C:\\Program Files\\Vantorel RT"}),
    [](const ::testing::TestParamInfo<ResolveCase>& info) { return std::string(info.param.name); });

TEST_F(InstallerTest, RelativeAnswerInDriveRootGetsTwoBackslashes) {
    platform.setCurrentDirectory("C:\\");
    platform.addFile("C:\\quarrex.exe");
    EXPECT_EQ(run("lib\n"), 0);
    EXPECT_EQ(platform.output(), kBanner + promptFor("C:\\"));
    EXPECT_EQ(platform.createAttempts, std::vector<std::string>{"C:\\\\lib"});
    EXPECT_EQ(platform.commands, std::vector<std::string>{commandFor("C:\\\\lib")});
    EXPECT_EQ(recorded(), sz("C:\\\\lib"));
    EXPECT_TRUE(platform.directoryExists("C:\\lib"));
    expectToolDeletedLast("C:\\quarrex.exe");
}

TEST_F(InstallerTest, EmptyAnswerInstallsIntoCurrentDirectoryCreatingNothing) {
    EXPECT_EQ(run("\n"), 0);
    EXPECT_TRUE(platform.createAttempts.empty());
    EXPECT_EQ(platform.commands, std::vector<std::string>{commandFor("C:\\work")});
    EXPECT_EQ(recorded(), sz("C:\\work"));
    expectToolDeletedLast();
}

TEST_F(InstallerTest, MissingRootRelativeBackslashPathCannotBeCreated) {
    // Kept as the split rule has it: the parent of \lib is the empty text.
    EXPECT_EQ(run("\\lib\n"), -1);
    EXPECT_EQ(platform.error(), couldNotCreate("\\lib"));
    EXPECT_TRUE(platform.createAttempts.empty());
    EXPECT_TRUE(platform.commands.empty());
    expectToolDeletedLast();
}

TEST_F(InstallerTest, SlashInARelativeAnswerDoesNotSplit) {
    // lib/x64 joins to C:\work\lib/x64, whose parent by the split rule is
    // C:\work: with C:\work\lib missing, the single create fails.
    EXPECT_EQ(run("lib/x64\n"), -1);
    EXPECT_EQ(platform.createAttempts, std::vector<std::string>{"C:\\work\\lib/x64"});
    EXPECT_EQ(platform.error(), couldNotCreate("C:\\work\\lib/x64"));
    expectToolDeletedLast();
}

TEST_F(InstallerTest, MissingSlashPathCannotBeCreated) {
    // "/" is no separator for makeDirectoryPath: /lib has no parent at all.
    EXPECT_EQ(run("/lib\n"), -1);
    EXPECT_EQ(platform.error(), couldNotCreate("/lib"));
    EXPECT_TRUE(platform.createAttempts.empty());
    expectToolDeletedLast();
}

TEST_F(InstallerTest, JoinedPathOf259CharactersFits) {
    const std::string answer = std::string(200, 'x') + "\\" + std::string(50, 'y');
    const std::string joined = "C:\\work\\" + answer;
    ASSERT_EQ(joined.size(), 259u);
    EXPECT_EQ(run(answer + "\n"), 0);
    EXPECT_EQ(platform.commands, std::vector<std::string>{commandFor(joined)});
    EXPECT_EQ(recorded(), sz(joined));
}

TEST_F(InstallerTest, JoinedPathThatDoesNotFitIsRefused) {
    const std::string answer = std::string(200, 'x') + "\\" + std::string(51, 'y');
    const std::string joined = "C:\\work\\" + answer;
    ASSERT_EQ(joined.size(), 260u);
    EXPECT_EQ(run(answer + "\n"), -1);
    EXPECT_EQ(platform.output(), kBanner + promptFor("C:\\work"));
    EXPECT_EQ(platform.error(), couldNotCreate(joined));
    EXPECT_TRUE(platform.createAttempts.empty());
    EXPECT_TRUE(platform.commands.empty());
    EXPECT_EQ(recorded(), "<none>");
    expectToolDeletedLast();
}

TEST_F(InstallerTest, LongestDefaultAndLongestAnswerAreRefusedWithoutOverflow) {
    const std::string dir = "C:\\" + std::string(200, 'd') + "\\" + std::string(55, 'e');
    const std::string answer = std::string(200, 'x') + "\\" + std::string(58, 'y');
    ASSERT_EQ(dir.size(), 259u);
    ASSERT_EQ(answer.size(), 259u);
    platform.setCurrentDirectory(dir);
    platform.addFile(dir + "\\quarrex.exe");
    EXPECT_EQ(run(answer + "\n"), -1);
    EXPECT_EQ(platform.error(), couldNotCreate(dir + "\\" + answer));
    EXPECT_TRUE(platform.createAttempts.empty());
    expectToolDeletedLast(dir + "\\quarrex.exe");
}

// ---- creating the directory --------------------------------------------------

TEST_F(InstallerTest, NestedDirectoriesAreCreatedParentsFirstBeforeTheToolRuns) {
    EXPECT_EQ(run("C:\\a\\b\\c\n"), 0);
    const std::vector<std::string> expected{"C:\\a", "C:\\a\\b", "C:\\a\\b\\c"};
    EXPECT_EQ(platform.createAttempts, expected);
    EXPECT_EQ(platform.created, expected);
    const auto lastCreate = std::find(platform.events.begin(), platform.events.end(), "create C:\\a\\b\\c -> ok");
    const auto runEvent = std::find(platform.events.begin(), platform.events.end(), "run " + commandFor("C:\\a\\b\\c"));
    ASSERT_NE(lastCreate, platform.events.end());
    ASSERT_NE(runEvent, platform.events.end());
    EXPECT_LT(lastCreate, runEvent);
    expectToolDeletedLast();
}

TEST_F(InstallerTest, ToolRunsWithTheDirectoryAlreadyPresent) {
    bool present = false;
    platform.commandHandler = [&](const std::string&) {
        present = platform.directoryExists("C:\\new\\rt");
        return 0;
    };
    EXPECT_EQ(run("C:\\new\\rt\n"), 0);
    EXPECT_TRUE(present);
}

TEST_F(InstallerTest, ForwardSlashPathWithMissingParentFailsAtItsOwnCreate) {
    EXPECT_EQ(run("C:/a/b\n"), -1);
    EXPECT_EQ(platform.createAttempts, std::vector<std::string>{"C:/a/b"});
    EXPECT_TRUE(platform.created.empty());
    EXPECT_FALSE(platform.directoryExists("C:\\a"));
    EXPECT_EQ(platform.error(), couldNotCreate("C:/a/b"));
    EXPECT_TRUE(platform.commands.empty());
    expectToolDeletedLast();
}

TEST_F(InstallerTest, ForwardSlashPathWithExistingParentIsCreatedInOneStep) {
    platform.addDirectory("C:\\a");
    EXPECT_EQ(run("C:/a/b\n"), 0);
    EXPECT_EQ(platform.createAttempts, std::vector<std::string>{"C:/a/b"});
    EXPECT_TRUE(platform.directoryExists("C:\\a\\b"));
}

TEST_F(InstallerTest, PathThatIsAFileFailsAtItsOwnCreate) {
    platform.addFile("C:\\data");
    EXPECT_EQ(run("C:\\data\n"), -1);
    EXPECT_EQ(platform.createAttempts, std::vector<std::string>{"C:\\data"});
    EXPECT_EQ(platform.error(), couldNotCreate("C:\\data"));
    EXPECT_TRUE(platform.commands.empty());
    EXPECT_EQ(recorded(), "<none>");
    expectToolDeletedLast();
}

TEST_F(InstallerTest, ParentsCreatedBeforeAFailureStay) {
    EXPECT_EQ(run("C:\\new\\sub\\bad|name\n"), -1);
    const std::vector<std::string> attempts{"C:\\new", "C:\\new\\sub", "C:\\new\\sub\\bad|name"};
    EXPECT_EQ(platform.createAttempts, attempts);
    EXPECT_TRUE(platform.directoryExists("C:\\new\\sub"));
    EXPECT_EQ(platform.error(), couldNotCreate("C:\\new\\sub\\bad|name"));
    expectToolDeletedLast();
}

TEST_F(InstallerTest, ExistingDirectoryIsUsedWithoutCreating) {
    platform.addDirectory("C:\\ready");
    EXPECT_EQ(run("C:\\ready\n"), 0);
    EXPECT_TRUE(platform.createAttempts.empty());
    EXPECT_EQ(platform.commands, std::vector<std::string>{commandFor("C:\\ready")});
}

TEST_F(InstallerTest, TrailingBackslashFailsAtTheFinalCreate) {
    // Kept as the split rule has it: the parent of C:\t\ is C:\t itself.
    EXPECT_EQ(run("C:\\t\\\n"), -1);
    EXPECT_EQ(platform.createAttempts, (std::vector<std::string>{"C:\\t", "C:\\t\\"}));
    EXPECT_EQ(platform.error(), couldNotCreate("C:\\t\\"));
    expectToolDeletedLast();
}

class MissingDriveTest : public InstallerTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(MissingDriveTest, FailsAtOnceWithoutRecursingOrCreating) {
    const std::string path = GetParam();
    EXPECT_EQ(run(path + "\n"), -1);
    EXPECT_EQ(platform.error(), couldNotCreate(path));
    EXPECT_TRUE(platform.createAttempts.empty());
    EXPECT_TRUE(platform.commands.empty());
    expectToolDeletedLast();
}

INSTANTIATE_TEST_SUITE_P(Paths, MissingDriveTest, ::testing::Values("Z:", "Z:\\", "Z:\\a\\b", "Z:a"));

// ---- running the tool ----------------------------------------------------------

TEST_F(InstallerTest, CommandIsFormattedExactlyAndOutputFlushedBeforeIt) {
    EXPECT_EQ(run("C:\\Program Files\\Vantorel RT\n"), 0);
    ASSERT_EQ(platform.commands.size(), 1u);
    EXPECT_EQ(platform.commands[0], "quarrex.exe -qq -u -d \"C:\\Program Files\\Vantorel RT\"");
    EXPECT_EQ(platform.outputFlushedAtRun, std::vector<bool>{true});
}

class ToolFailureTest : public InstallerTest, public ::testing::WithParamInterface<int> {};

TEST_P(ToolFailureTest, LeavesRegistryUnchangedAndEndsWithMinusOne) {
    platform.setRegistryText(kRegKey, "InstallDir", "C:\\old-and-gone");
    platform.setCommandResult(GetParam());
    EXPECT_EQ(run("lib\n"), -1);
    EXPECT_EQ(platform.output(), kBanner + promptFor("C:\\work"));
    EXPECT_EQ(platform.error(), couldNotRun("C:\\work\\lib"));
    EXPECT_EQ(recorded(), sz("C:\\old-and-gone"));
    EXPECT_EQ(std::count_if(platform.events.begin(), platform.events.end(),
                            [](const std::string& e) { return e.rfind("registry create", 0) == 0; }),
              0);
    EXPECT_TRUE(platform.directoryExists("C:\\work\\lib"));  // nothing is undone
    expectToolDeletedLast();
}

INSTANTIATE_TEST_SUITE_P(Results, ToolFailureTest, ::testing::Values(1, 3, -1, 9009));

// ---- recording -------------------------------------------------------------------

TEST_F(InstallerTest, RecordsThePathAsRegSzCountingTheTerminator) {
    EXPECT_EQ(run("C:\\Vantorel\\rt\n"), 0);
    const auto value = platform.registryValue(kRegKey, "InstallDir");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, kRegSz);
    EXPECT_EQ(value->data.size(), std::string("C:\\Vantorel\\rt").size() + 1);
    EXPECT_EQ(recorded(), sz("C:\\Vantorel\\rt"));
    EXPECT_EQ(platform.output(), kBanner + promptFor("C:\\work"));
    EXPECT_EQ(platform.error(), "");
    expectToolDeletedLast();
}

TEST_F(InstallerTest, SecondRunSaysAlreadyInstalledAndRunsNothing) {
    ASSERT_EQ(run("C:\\Vantorel\\rt\n"), 0);
    platform.resetConsole("");
    platform.addFile("C:\\work\\quarrex.exe");
    EXPECT_EQ(run("C:\\other\n"), 0);
    EXPECT_EQ(platform.output(),
              kBanner + "Run-time libraries already installed at 'C:\\Vantorel\\rt'. Not reinstalling.\n");
    EXPECT_EQ(platform.readCount(), 0);
    EXPECT_TRUE(platform.commands.empty());
    EXPECT_TRUE(platform.createAttempts.empty());
    expectToolDeletedLast();
}

TEST_F(InstallerTest, KeyCreationFailureIsPrintedOnStandardOutputAndStillSucceeds) {
    platform.createKeyError = kErrorAccessDenied;
    EXPECT_EQ(run("lib\n"), 0);
    EXPECT_EQ(platform.output(), kBanner + promptFor("C:\\work") + "Error: Access is denied.\r\n\n");
    EXPECT_EQ(platform.error(), "");
    EXPECT_EQ(recorded(), "<none>");
    EXPECT_EQ(std::count(platform.events.begin(), platform.events.end(), "registry set InstallDir"), 0);
    expectToolDeletedLast();
}

TEST_F(InstallerTest, ValueWriteFailureIsPrintedClosesTheKeyAndStillSucceeds) {
    platform.setValueError = kErrorAccessDenied;
    EXPECT_EQ(run("lib\n"), 0);
    EXPECT_EQ(platform.output(), kBanner + promptFor("C:\\work") + "Error: Access is denied.\r\n\n");
    EXPECT_EQ(platform.error(), "");
    EXPECT_EQ(recorded(), "<none>");
    const auto set = std::find(platform.events.begin(), platform.events.end(), "registry set InstallDir");
    ASSERT_NE(set, platform.events.end());
    EXPECT_NE(std::find(set, platform.events.end(), "registry close"), platform.events.end());
    expectToolDeletedLast();
}

TEST_F(InstallerTest, ErrorCodeWithoutTextIsNamed) {
    platform.setValueError = 12345;
    EXPECT_EQ(run("lib\n"), 0);
    EXPECT_EQ(platform.output(),
              kBanner + promptFor("C:\\work") +
                  "Error: system error code 12345 (0x00003039); the system has no message text for it.\n");
    expectToolDeletedLast();
}

// ---- deleting the tool ---------------------------------------------------------

TEST_F(InstallerTest, MissingToolDeletionIsSilent) {
    ASSERT_EQ(platform.deleteFile("quarrex.exe"), 0);
    platform.events.clear();
    EXPECT_EQ(run("lib\n"), 0);
    EXPECT_EQ(platform.error(), "");
    EXPECT_EQ(platform.output(), kBanner + promptFor("C:\\work"));
    expectToolDeletedLast();
}

}  // namespace
}  // namespace rtinstall::testing
