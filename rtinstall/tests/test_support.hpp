// Shared expectations for the installer unit tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "installer_flow.hpp"
#include "memory_platform.hpp"

namespace rtinstall::testing {

// The banner exactly as the installer prints it (licence lines as written for
// this installer).
inline const std::string kBanner =
    "Karvel Vantorel Installer version 1.0.\n"
    "\n"
    "This application installs the Karvel Vantorel run-time libraries. These\n"
    "libraries are needed to run applications that were built for Karvel.\n"
    "Use of this installer, and of the libraries that it installs, is governed\n"
    "by the software licence agreement of the maker of the libraries and by the\n"
    "licence of the application with which this installer came.\n"
    "\n"
    "Once this installer has finished, you must add the directory <VANTO>\\bin\\win32\n"
    "to your PATH environment variable, where <VANTO> represents the directory to\n"
    "which you chose to install the run-time libraries. If you have a Karvel\n"
    "directory (from a Karvel installation) on your PATH, you must add the\n"
    "run-time libraries directory to the PATH before the Karvel directory.\n"
    "\n"
    "Note: If you already have installed the run-time libraries for another\n"
    "      application, you do not need to reinstall them. Simply make sure that\n"
    "      your PATH is configured correctly as mentioned above.\n"
    "\n";

inline const std::string kRegKey = "SOFTWARE\\Brellwick\\Vantorel\\6.0";

inline std::string promptFor(const std::string& defaultDir) {
    return "Enter the directory to which to install the run-time libraries\n  [default: " + defaultDir + "]: ";
}

inline std::string commandFor(const std::string& path) { return "quarrex.exe -qq -u -d \"" + path + "\""; }

inline std::string couldNotCreate(const std::string& path) { return "Error: could not create " + path + ".\n"; }

inline std::string couldNotRun(const std::string& path) {
    return "Error: could not run command '" + commandFor(path) + "'.\n";
}

// A fixture with C:\work as the current directory holding quarrex.exe.
class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform.setCurrentDirectory("C:\\work");
        platform.addFile("C:\\work\\quarrex.exe");
    }

    int run(const std::string& input) {
        platform.setInput(input);
        return runInstaller(platform);
    }

    // The text recorded as InstallDir, or "<none>".
    std::string recorded() const {
        const auto value = platform.registryValue(kRegKey, "InstallDir");
        if (!value) {
            return "<none>";
        }
        return std::string(value->data.begin(), value->data.end());
    }

    // "quarrex.exe" was deleted once, as the very last platform operation,
    // and no registry key was left open.
    void expectToolDeletedLast(const std::string& toolPath = "C:\\work\\quarrex.exe") {
        ASSERT_FALSE(platform.events.empty());
        EXPECT_EQ(platform.events.back(), "delete quarrex.exe");
        EXPECT_EQ(std::count(platform.events.begin(), platform.events.end(), "delete quarrex.exe"), 1);
        EXPECT_FALSE(platform.fileExists(toolPath));
        EXPECT_EQ(platform.openKeyCount(), 0);
        EXPECT_EQ(platform.badCloseCount(), 0);
    }

    MemoryPlatform platform;
};

}  // namespace rtinstall::testing
