// The real platform: the Win32 API and the C run-time library.  Compiled
// only with mingw-w64 (see cross-build); this header does not include
// <windows.h>.
#pragma once

#include "platform.hpp"

namespace rtinstall {

class Win32Platform final : public Platform {
public:
    std::int32_t openRegistryKeyForRead(const char* subKey, RegistryKey& key) override;
    std::int32_t queryRegistryValue(RegistryKey key, const char* valueName, unsigned char* data,
                                    std::uint32_t& size) override;
    std::int32_t createRegistryKeyForWrite(const char* subKey, RegistryKey& key) override;
    std::int32_t setRegistryString(RegistryKey key, const char* valueName, const unsigned char* data,
                                   std::uint32_t size) override;
    void closeRegistryKey(RegistryKey key) override;

    bool getFileAttributes(const char* path, std::uint32_t& attributes) override;
    bool createDirectory(const char* path) override;
    std::uint32_t getCurrentDirectory(char* buffer, std::uint32_t size) override;
    int deleteFile(const char* name) override;

    int runCommand(const char* command) override;
    bool systemErrorText(std::uint32_t code, std::string& text) override;

    void writeOutput(std::string_view text) override;
    void writeError(std::string_view text) override;
    void flushOutput() override;
    int readInputChar() override;
};

}  // namespace rtinstall
