// The real platform: the Win32 API and the C run-time library.
#ifdef _WIN32

#include "win32_platform.hpp"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace rtinstall {

namespace {

HKEY toHkey(RegistryKey key) { return static_cast<HKEY>(key); }

}  // namespace

std::int32_t Win32Platform::openRegistryKeyForRead(const char* subKey, RegistryKey& key) {
    HKEY opened = nullptr;
    const LSTATUS result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ, &opened);
    key = opened;
    return static_cast<std::int32_t>(result);
}

std::int32_t Win32Platform::queryRegistryValue(RegistryKey key, const char* valueName, unsigned char* data,
                                               std::uint32_t& size) {
    DWORD length = size;
    const LSTATUS result = RegQueryValueExA(toHkey(key), valueName, nullptr, nullptr, data, &length);
    size = length;
    return static_cast<std::int32_t>(result);
}

std::int32_t Win32Platform::createRegistryKeyForWrite(const char* subKey, RegistryKey& key) {
    char emptyClass[] = "";
    HKEY created = nullptr;
    const LSTATUS result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, emptyClass, REG_OPTION_NON_VOLATILE,
                                           KEY_WRITE, nullptr, &created, nullptr);
    key = created;
    return static_cast<std::int32_t>(result);
}

std::int32_t Win32Platform::setRegistryString(RegistryKey key, const char* valueName, const unsigned char* data,
                                              std::uint32_t size) {
    return static_cast<std::int32_t>(RegSetValueExA(toHkey(key), valueName, 0, REG_SZ, data, size));
}

void Win32Platform::closeRegistryKey(RegistryKey key) { RegCloseKey(toHkey(key)); }

bool Win32Platform::getFileAttributes(const char* path, std::uint32_t& attributes) {
    const DWORD result = GetFileAttributesA(path);
    if (result == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    attributes = result;
    return true;
}

bool Win32Platform::createDirectory(const char* path) { return CreateDirectoryA(path, nullptr) != 0; }

std::uint32_t Win32Platform::getCurrentDirectory(char* buffer, std::uint32_t size) {
    return GetCurrentDirectoryA(size, buffer);
}

int Win32Platform::deleteFile(const char* name) { return std::remove(name); }

int Win32Platform::runCommand(const char* command) {
    // Output written so far must come before the tool's own output.
    std::fflush(nullptr);
    return std::system(command);
}

bool Win32Platform::systemErrorText(std::uint32_t code, std::string& text) {
    char* message = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&message), 0, nullptr);
    if (length == 0 || message == nullptr) {
        if (message != nullptr) {
            LocalFree(message);
        }
        return false;
    }
    text.assign(message, length);
    LocalFree(message);
    return true;
}

void Win32Platform::writeOutput(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

void Win32Platform::writeError(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void Win32Platform::flushOutput() { std::fflush(stdout); }

int Win32Platform::readInputChar() {
    const int c = std::getchar();
    return c == EOF ? -1 : c;
}

}  // namespace rtinstall

#endif  // _WIN32
