// The installer flow and its routines, written once against the
// Platform interface.
#pragma once

#include <cstdint>

#include "platform.hpp"

namespace rtinstall {

inline constexpr const char* kVersion = "1.0";
inline constexpr const char* kToolName = "quarrex.exe";
inline constexpr const char* kCommandFormat = "quarrex.exe -qq -u -d \"%s\"";
inline constexpr const char* kRegistryKey = "SOFTWARE\\Brellwick\\Vantorel\\6.0";
inline constexpr const char* kRegistryValue = "InstallDir";

// Room for the command format and a 259-character path, terminator included.
inline constexpr std::size_t kCommandSize = sizeof("quarrex.exe -qq -u -d \"%s\"") + kPathSize;

// Exit statuses.
inline constexpr int kStatusSuccess = 0;
inline constexpr int kStatusFailure = -1;

// True when the path names an existing directory (GetFileAttributesA
// succeeds and the directory attribute is set).
bool isDirectory(Platform& platform, const char* path);

// Reads `InstallDir` into `buffer` (kPathSize bytes).  True when a recorded
// directory exists.  A value that does not fit, or is not terminated text
// within the bytes read, counts as no installation (buffer left empty).
bool readInstallDir(Platform& platform, char* buffer);

// Records the path as `InstallDir`; registry failures are reported through
// printSystemError and otherwise ignored.
void recordInstallDir(Platform& platform, const char* path);

// Makes the directory and any missing parents (split rule: "\\" and ":"
// only).  The path is cut temporarily and always restored.  0 on success,
// -1 on failure.
int makeDirectoryPath(Platform& platform, char* path);

// Prints "Error: %s\n" on standard output with the system's text for the
// code, or with a text that names the code when the system has none.
void printSystemError(Platform& platform, std::uint32_t code);

// The whole run: banner, registry check, prompt, creation, extraction,
// record, and deletion of "quarrex.exe" last.  Returns the exit status,
// 0 or -1.
int runInstaller(Platform& platform);

}  // namespace rtinstall
