// An in-memory Platform for unit tests that run natively on Linux with
// Windows paths: a fake registry (HKEY_LOCAL_MACHINE only), a fake file
// system with drive letters, a current directory, a scripted command result
// and captured console streams.  Every platform call is appended to
// `events`, so tests can check the order of operations.
//
// Path rules follow Windows closely enough for the installer: "\\" and "/"
// both separate, names are case-insensitive, repeated separators collapse,
// "X:" alone and "X:name" are relative to the current directory when X is
// the current drive (else to X's root), "\\name" is relative to the root of
// the current drive, and a path that does not name an entry fails.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform.hpp"

namespace rtinstall::testing {

inline constexpr std::uint32_t kRegSz = 1;                 // REG_SZ
inline constexpr std::uint32_t kFileAttributeArchive = 0x20;
inline constexpr std::int32_t kErrorFileNotFound = 2;
inline constexpr std::int32_t kErrorAccessDenied = 5;
inline constexpr std::int32_t kErrorInvalidHandle = 6;
inline constexpr std::int32_t kErrorMoreData = 234;

struct RegistryValue {
    std::uint32_t type = kRegSz;
    std::vector<unsigned char> data;
};

class MemoryPlatform final : public Platform {
public:
    // Drive C: exists; the current directory is C:\ .
    MemoryPlatform();

    // ---- set-up -------------------------------------------------------
    void addDrive(char letter);
    void addDirectory(const std::string& path);  // parents too
    void addFile(const std::string& path);       // parent directories too
    void setAttributes(const std::string& path, std::uint32_t attributes);
    void setCurrentDirectory(const std::string& path);  // "X:\..." form
    void setCurrentDirectoryFails(bool fails) { currentDirectoryFails_ = fails; }
    void setInput(std::string text);
    void setCommandResult(int result) { commandResult_ = result; }
    // Called instead of returning the scripted result when set.
    std::function<int(const std::string&)> commandHandler;
    void setSystemMessage(std::uint32_t code, std::string text) { messages_[code] = std::move(text); }
    void removeSystemMessage(std::uint32_t code) { messages_.erase(code); }
    void setRegistryBytes(const std::string& key, const std::string& name, std::vector<unsigned char> data,
                          std::uint32_t type = kRegSz);
    void setRegistryText(const std::string& key, const std::string& name, const std::string& text);
    void addRegistryKey(const std::string& key);
    std::int32_t openForReadError = 0;  // non-zero: RegOpenKeyExA fails with it
    std::int32_t createKeyError = 0;    // non-zero: RegCreateKeyExA fails with it
    std::int32_t setValueError = 0;     // non-zero: RegSetValueExA fails with it

    // Starts a new run on the same registry and file system.
    void resetConsole(std::string input);

    // ---- observation --------------------------------------------------
    bool directoryExists(const std::string& path) const;
    bool fileExists(const std::string& path) const;
    bool registryKeyExists(const std::string& key) const;
    std::optional<RegistryValue> registryValue(const std::string& key, const std::string& name) const;

    const std::string& output() const { return output_; }
    const std::string& error() const { return error_; }
    // Standard output as flushed when the first input character was asked
    // for (empty optional when input was never read).
    const std::optional<std::string>& outputFlushedAtFirstRead() const { return outputFlushedAtFirstRead_; }
    int readCount() const { return readCount_; }
    int openKeyCount() const { return static_cast<int>(openKeys_.size()); }
    int badCloseCount() const { return badCloses_; }

    std::vector<std::string> events;          // every platform call, in order
    std::vector<std::string> createAttempts;  // paths given to createDirectory
    std::vector<std::string> created;         // those that succeeded
    std::vector<std::string> commands;        // commands run
    std::vector<bool> outputFlushedAtRun;     // stdout fully flushed at each run

    // ---- Platform -----------------------------------------------------
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

private:
    struct Entry {
        bool directory = false;
        std::uint32_t attributes = 0;
    };
    struct Resolved {
        char drive = 'C';
        std::vector<std::string> parts;  // upper-case components below the root
    };

    std::optional<Resolved> resolve(const std::string& path) const;
    static std::string keyOf(const Resolved& resolved);
    static std::string registryKeyOf(const std::string& key);
    bool driveExists(char drive) const { return drives_.count(drive) != 0; }

    std::set<char> drives_;
    std::map<std::string, Entry> entries_;  // by canonical upper-case path
    std::string currentDirectory_ = "C:\\";
    bool currentDirectoryFails_ = false;

    std::map<std::string, std::map<std::string, RegistryValue>> registry_;  // by upper-case key and name
    std::map<std::uintptr_t, std::string> openKeys_;
    std::uintptr_t nextKey_ = 1;
    int badCloses_ = 0;

    std::string input_;
    std::size_t inputPosition_ = 0;
    int readCount_ = 0;
    std::string output_;
    std::size_t flushedOutput_ = 0;
    std::optional<std::string> outputFlushedAtFirstRead_;
    std::string error_;

    int commandResult_ = 0;
    std::map<std::uint32_t, std::string> messages_;
};

}  // namespace rtinstall::testing
