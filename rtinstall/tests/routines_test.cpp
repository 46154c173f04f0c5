// Unit tests of the routines isDirectory, readInstallDir, recordInstallDir,
// makeDirectoryPath and printSystemError, and of the in-memory platform's
// Windows path rules that the flow tests rely on.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "test_support.hpp"

namespace rtinstall::testing {
namespace {

// ---- isDirectory -----------------------------------------------------------------

TEST(IsDirectory, FollowsTheDirectoryAttribute) {
    MemoryPlatform p;
    p.addDirectory("C:\\dir");
    p.addDirectory("C:\\readonly");
    p.setAttributes("C:\\readonly", kDirectoryAttribute | 0x01);
    p.addFile("C:\\file.txt");
    p.setAttributes("C:\\file.txt", 0x01 | 0x20);
    EXPECT_TRUE(isDirectory(p, "C:\\"));
    EXPECT_TRUE(isDirectory(p, "C:\\dir"));
    EXPECT_TRUE(isDirectory(p, "c:/DIR"));
    EXPECT_TRUE(isDirectory(p, "C:\\readonly"));
    EXPECT_FALSE(isDirectory(p, "C:\\file.txt"));
    EXPECT_FALSE(isDirectory(p, "C:\\missing"));
    EXPECT_FALSE(isDirectory(p, "Q:\\"));
    EXPECT_FALSE(isDirectory(p, ""));
}

// ---- makeDirectoryPath -------------------------------------------------------------

struct PathBuffer {
    explicit PathBuffer(const std::string& text) {
        EXPECT_LT(text.size(), kPathSize);
        std::memcpy(data, text.c_str(), text.size() + 1);
    }
    char data[kPathSize] = {};
};

TEST(MakeDirectoryPath, CreatesParentsFirstAndRestoresThePath) {
    MemoryPlatform p;
    PathBuffer path("C:\\a\\b\\c");
    EXPECT_EQ(makeDirectoryPath(p, path.data), 0);
    EXPECT_STREQ(path.data, "C:\\a\\b\\c");
    EXPECT_EQ(p.created, (std::vector<std::string>{"C:\\a", "C:\\a\\b", "C:\\a\\b\\c"}));
}

TEST(MakeDirectoryPath, RestoresThePathAfterFailure) {
    MemoryPlatform p;
    p.addFile("C:\\a\\file");
    PathBuffer path("C:\\a\\file\\b\\c");
    EXPECT_EQ(makeDirectoryPath(p, path.data), -1);
    EXPECT_STREQ(path.data, "C:\\a\\file\\b\\c");
    EXPECT_EQ(p.createAttempts, std::vector<std::string>{"C:\\a\\file"});
}

TEST(MakeDirectoryPath, ParentOfADirectoryInTheRootIsTheRoot) {
    MemoryPlatform p;
    PathBuffer path("C:\\dir");
    EXPECT_EQ(makeDirectoryPath(p, path.data), 0);
    EXPECT_EQ(p.createAttempts, std::vector<std::string>{"C:\\dir"});
    const std::vector<std::string> wanted{"attributes C:\\dir", "attributes C:\\", "create C:\\dir -> ok"};
    EXPECT_EQ(p.events, wanted);
}

TEST(MakeDirectoryPath, PathWithoutBackslashSplitsAfterItsLastColon) {
    MemoryPlatform p;
    p.addDrive('D');
    PathBuffer path("D:lib");
    EXPECT_EQ(makeDirectoryPath(p, path.data), 0);
    const std::vector<std::string> wanted{"attributes D:lib", "attributes D:", "create D:lib -> ok"};
    EXPECT_EQ(p.events, wanted);
}

TEST(MakeDirectoryPath, SlashIsNoSeparator) {
    MemoryPlatform p;
    PathBuffer path("C:/a/b");
    EXPECT_EQ(makeDirectoryPath(p, path.data), -1);
    const std::vector<std::string> wanted{"attributes C:/a/b", "attributes C:", "create C:/a/b -> failed"};
    EXPECT_EQ(p.events, wanted);
}

TEST(MakeDirectoryPath, PathWithNeitherSeparatorNorColonFails) {
    MemoryPlatform p;
    PathBuffer path("lib");
    EXPECT_EQ(makeDirectoryPath(p, path.data), -1);
    EXPECT_TRUE(p.createAttempts.empty());
}

TEST(MakeDirectoryPath, SelfParentOnAMissingDriveFailsAtOnce) {
    for (const char* text : {"Z:", "Z:\\", ":", "Z:\\a"}) {
        MemoryPlatform p;
        PathBuffer path(text);
        EXPECT_EQ(makeDirectoryPath(p, path.data), -1) << text;
        EXPECT_STREQ(path.data, text);
        EXPECT_TRUE(p.createAttempts.empty()) << text;
        EXPECT_LE(p.events.size(), 2u) << text;
    }
}

TEST(MakeDirectoryPath, ExistingDirectorySucceedsWithoutCreating) {
    MemoryPlatform p;
    p.addDirectory("C:\\x\\y");
    PathBuffer path("C:\\x\\y");
    EXPECT_EQ(makeDirectoryPath(p, path.data), 0);
    EXPECT_EQ(p.events, std::vector<std::string>{"attributes C:\\x\\y"});
}

TEST(MakeDirectoryPath, DeepestPathFitsTheStack) {
    MemoryPlatform p;
    std::string text = "C:";
    while (text.size() + 2 < kPathSize) text += "\\a";
    PathBuffer path(text);
    EXPECT_EQ(makeDirectoryPath(p, path.data), 0);
    EXPECT_EQ(p.created.size(), (text.size() - 2) / 2);
    EXPECT_STREQ(path.data, text.c_str());
}

// ---- readInstallDir / recordInstallDir ------------------------------------------

TEST(ReadInstallDir, ReadsAnExistingRecordedDirectory) {
    MemoryPlatform p;
    p.addDirectory("C:\\rt");
    p.setRegistryText(kRegKey, "InstallDir", "C:\\rt");
    char buffer[kPathSize];
    EXPECT_TRUE(readInstallDir(p, buffer));
    EXPECT_STREQ(buffer, "C:\\rt");
    EXPECT_EQ(p.openKeyCount(), 0);
}

TEST(ReadInstallDir, LeavesTheBufferEmptyForAnUnterminatedValue) {
    MemoryPlatform p;
    p.setRegistryBytes(kRegKey, "InstallDir", std::vector<unsigned char>(kPathSize, 'x'));
    char buffer[kPathSize];
    EXPECT_FALSE(readInstallDir(p, buffer));
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(p.openKeyCount(), 0);
}

TEST(ReadInstallDir, UsesTheExactKeyAndValueNames) {
    MemoryPlatform p;
    char buffer[kPathSize];
    readInstallDir(p, buffer);
    EXPECT_EQ(p.events, std::vector<std::string>{"registry open-read SOFTWARE\\Brellwick\\Vantorel\\6.0"});
    p.addRegistryKey(kRegKey);
    p.events.clear();
    readInstallDir(p, buffer);
    const std::vector<std::string> wanted{"registry open-read SOFTWARE\\Brellwick\\Vantorel\\6.0",
                                          "registry query InstallDir", "registry close"};
    EXPECT_EQ(p.events, wanted);
}

TEST(RecordInstallDir, CreatesTheKeyWithItsParents) {
    MemoryPlatform p;
    EXPECT_FALSE(p.registryKeyExists(kRegKey));
    recordInstallDir(p, "C:\\rt");
    EXPECT_TRUE(p.registryKeyExists(kRegKey));
    const auto value = p.registryValue(kRegKey, "InstallDir");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, kRegSz);
    EXPECT_EQ(value->data, (std::vector<unsigned char>{'C', ':', '\\', 'r', 't', 0}));
    const std::vector<std::string> wanted{"registry create SOFTWARE\\Brellwick\\Vantorel\\6.0",
                                          "registry set InstallDir", "registry close"};
    EXPECT_EQ(p.events, wanted);
    EXPECT_EQ(p.openKeyCount(), 0);
    EXPECT_EQ(p.output(), "");
}

// ---- printSystemError --------------------------------------------------------------

TEST(PrintSystemError, PrintsTheSystemTextAsGiven) {
    MemoryPlatform p;
    printSystemError(p, 5);
    EXPECT_EQ(p.output(), "Error: Access is denied.\r\n\n");
    EXPECT_EQ(p.error(), "");
}

TEST(PrintSystemError, NamesACodeWithoutText) {
    MemoryPlatform p;
    p.setSystemMessage(77, "");
    printSystemError(p, 77);
    printSystemError(p, 0xC0000005u);
    EXPECT_EQ(p.output(),
              "Error: system error code 77 (0x0000004D); the system has no message text for it.\n"
              "Error: system error code 3221225477 (0xC0000005); the system has no message text for it.\n");
}

// ---- the in-memory platform's path rules ---------------------------------------------

TEST(MemoryPlatform, FollowsWindowsPathRules) {
    MemoryPlatform p;
    p.setCurrentDirectory("C:\\work");
    p.addDrive('D');
    EXPECT_TRUE(p.createDirectory("lib"));           // relative to C:\work
    EXPECT_TRUE(p.directoryExists("C:\\WORK\\LIB"));  // case-insensitive
    EXPECT_TRUE(p.createDirectory("C:sub"));         // drive-relative, current drive
    EXPECT_TRUE(p.directoryExists("C:\\work\\sub"));
    EXPECT_TRUE(p.createDirectory("D:sub"));         // drive-relative, other drive: its root
    EXPECT_TRUE(p.directoryExists("D:\\sub"));
    EXPECT_TRUE(p.createDirectory("\\top"));         // root of the current drive
    EXPECT_TRUE(p.directoryExists("C:\\top"));
    EXPECT_TRUE(p.createDirectory("C:\\\\top/x"));   // repeated separators, slashes
    EXPECT_TRUE(p.directoryExists("C:\\top\\x"));
    EXPECT_FALSE(p.createDirectory("C:\\top"));      // exists
    EXPECT_FALSE(p.createDirectory("C:\\no\\such"));  // missing parent
    EXPECT_FALSE(p.createDirectory("Q:\\x"));        // missing drive
    EXPECT_FALSE(p.createDirectory("C:\\"));         // root
    EXPECT_FALSE(p.createDirectory(""));
    EXPECT_TRUE(p.createDirectory("C:\\t\\"));       // trailing separator ignored
    EXPECT_TRUE(p.directoryExists("C:\\t"));
}

TEST(MemoryPlatform, CurrentDirectoryReportsTheSizeNeeded) {
    MemoryPlatform p;
    p.setCurrentDirectory("C:\\work");
    char small[4];
    EXPECT_EQ(p.getCurrentDirectory(small, sizeof small), 8u);
    char buffer[kPathSize];
    EXPECT_EQ(p.getCurrentDirectory(buffer, kPathSize), 7u);
    EXPECT_STREQ(buffer, "C:\\work");
}

}  // namespace
}  // namespace rtinstall::testing
