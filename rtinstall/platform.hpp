// The platform operations that the installer flow needs, as a small
// interface.  The flow and its routines
// are written once against it; there are two implementations:
//   - Win32Platform (win32_platform.cpp), the real one, built with mingw-w64;
//   - MemoryPlatform (tests/memory_platform.cpp), an in-memory fake registry,
//     file system with drives, console and scripted command result, used by
//     the unit tests that run natively on Linux with Windows paths.
// This header must not include <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace rtinstall {

// Every path is held in a buffer of this many characters, terminator
// included (the platform's path limit, MAX_PATH).
inline constexpr std::size_t kPathSize = 260;

// FILE_ATTRIBUTE_DIRECTORY.
inline constexpr std::uint32_t kDirectoryAttribute = 0x10;

// Opaque registry key handle (an HKEY in the real platform).
using RegistryKey = void*;

class Platform {
public:
    virtual ~Platform() = default;

    // Registry, under HKEY_LOCAL_MACHINE.  Results are Windows error codes,
    // 0 (ERROR_SUCCESS) on success.
    //   RegOpenKeyExA(HKLM, subKey, 0, KEY_READ, &key)
    virtual std::int32_t openRegistryKeyForRead(const char* subKey, RegistryKey& key) = 0;
    //   RegQueryValueExA(key, valueName, nullptr, nullptr, data, &size):
    //   size is the buffer size in, the value's size out.
    virtual std::int32_t queryRegistryValue(RegistryKey key, const char* valueName,
                                            unsigned char* data, std::uint32_t& size) = 0;
    //   RegCreateKeyExA(HKLM, subKey, 0, "", REG_OPTION_NON_VOLATILE,
    //                   KEY_WRITE, nullptr, &key, nullptr)
    virtual std::int32_t createRegistryKeyForWrite(const char* subKey, RegistryKey& key) = 0;
    //   RegSetValueExA(key, valueName, 0, REG_SZ, data, size)
    virtual std::int32_t setRegistryString(RegistryKey key, const char* valueName,
                                           const unsigned char* data, std::uint32_t size) = 0;
    //   RegCloseKey(key)
    virtual void closeRegistryKey(RegistryKey key) = 0;

    // File system.
    //   GetFileAttributesA: false when the call fails.
    virtual bool getFileAttributes(const char* path, std::uint32_t& attributes) = 0;
    //   CreateDirectoryA(path, nullptr) != 0
    virtual bool createDirectory(const char* path) = 0;
    //   GetCurrentDirectoryA(size, buffer): the length copied (terminator
    //   excluded) on success, the size needed (terminator included) when the
    //   buffer is too small, 0 on failure.
    virtual std::uint32_t getCurrentDirectory(char* buffer, std::uint32_t size) = 0;
    //   The standard library's file removal (DeleteFileA): 0 on success.
    virtual int deleteFile(const char* name) = 0;

    // The standard library's system function: runs the command through the
    // command interpreter and returns its exit status (-1 when it cannot be
    // started).
    virtual int runCommand(const char* command) = 0;

    // FormatMessageA(FROM_SYSTEM | IGNORE_INSERTS | ALLOCATE_BUFFER, default
    // language): the system's text for the error code, as the system gives
    // it.  False when the system has no text for the code.  The platform
    // releases the text it was given.
    virtual bool systemErrorText(std::uint32_t code, std::string& text) = 0;

    // Console streams.
    virtual void writeOutput(std::string_view text) = 0;  // standard output
    virtual void writeError(std::string_view text) = 0;   // standard error
    virtual void flushOutput() = 0;
    // The next character of standard input, as an unsigned char value, or -1
    // at the end of the input (or on a read error).
    virtual int readInputChar() = 0;
};

}  // namespace rtinstall
