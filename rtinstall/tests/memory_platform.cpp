#include "memory_platform.hpp"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <stdexcept>

namespace rtinstall::testing {

namespace {

std::string upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

std::vector<std::string> splitComponents(const std::string& text) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : text) {
        if (c == '\\') {
            parts.push_back(part);
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    parts.push_back(part);
    return parts;
}

}  // namespace

MemoryPlatform::MemoryPlatform() {
    drives_.insert('C');
    messages_[2] = "The system cannot find the file specified.\r\n";
    messages_[3] = "The system cannot find the path specified.\r\n";
    messages_[5] = "Access is denied.\r\n";
}

// ---- path resolution ----------------------------------------------------

std::optional<MemoryPlatform::Resolved> MemoryPlatform::resolve(const std::string& path) const {
    if (path.empty()) {
        return std::nullopt;
    }
    std::string p = path;
    std::replace(p.begin(), p.end(), '/', '\\');
    if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') {
        return std::nullopt;  // UNC and device paths are not modelled
    }

    // The current directory, parsed.
    Resolved current;
    if (currentDirectory_.size() >= 2 && currentDirectory_[1] == ':') {
        current.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(currentDirectory_[0])));
        for (const std::string& part : splitComponents(currentDirectory_.substr(2))) {
            if (!part.empty()) {
                current.parts.push_back(upper(part));
            }
        }
    }

    Resolved resolved;
    std::string rest;
    if (p.size() >= 2 && p[1] == ':') {
        if (!std::isalpha(static_cast<unsigned char>(p[0]))) {
            return std::nullopt;
        }
        resolved.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(p[0])));
        rest = p.substr(2);
        if ((rest.empty() || rest[0] != '\\') && resolved.drive == current.drive) {
            resolved.parts = current.parts;  // drive-relative
        }
    } else if (p[0] == '\\') {
        resolved.drive = current.drive;  // root of the current drive
        rest = p;
    } else {
        resolved = current;  // relative to the current directory
        rest = p;
    }

    for (const std::string& part : splitComponents(rest)) {
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == "..") {
            if (!resolved.parts.empty()) {
                resolved.parts.pop_back();
            }
            continue;
        }
        if (part.find_first_of(":*?\"<>|") != std::string::npos || part.size() > 255) {
            return std::nullopt;
        }
        resolved.parts.push_back(upper(part));
    }
    return resolved;
}

std::string MemoryPlatform::keyOf(const Resolved& resolved) {
    std::string key(1, resolved.drive);
    key += ":\\";
    for (std::size_t i = 0; i < resolved.parts.size(); ++i) {
        if (i > 0) {
            key += '\\';
        }
        key += resolved.parts[i];
    }
    return key;
}

std::string MemoryPlatform::registryKeyOf(const std::string& key) {
    std::string k = upper(key);
    while (!k.empty() && k.back() == '\\') {
        k.pop_back();
    }
    return k;
}

// ---- set-up ---------------------------------------------------------------

void MemoryPlatform::addDrive(char letter) {
    drives_.insert(static_cast<char>(std::toupper(static_cast<unsigned char>(letter))));
}

void MemoryPlatform::addDirectory(const std::string& path) {
    const auto resolved = resolve(path);
    if (!resolved) {
        throw std::invalid_argument("bad test path: " + path);
    }
    drives_.insert(resolved->drive);
    Resolved partial;
    partial.drive = resolved->drive;
    for (const std::string& part : resolved->parts) {
        partial.parts.push_back(part);
        Entry& entry = entries_[keyOf(partial)];
        entry.directory = true;
        entry.attributes = kDirectoryAttribute;
    }
}

void MemoryPlatform::addFile(const std::string& path) {
    const auto resolved = resolve(path);
    if (!resolved || resolved->parts.empty()) {
        throw std::invalid_argument("bad test file path: " + path);
    }
    drives_.insert(resolved->drive);
    Resolved partial;
    partial.drive = resolved->drive;
    for (std::size_t i = 0; i + 1 < resolved->parts.size(); ++i) {
        partial.parts.push_back(resolved->parts[i]);
        entries_[keyOf(partial)] = Entry{true, kDirectoryAttribute};
    }
    entries_[keyOf(*resolved)] = Entry{false, kFileAttributeArchive};
}

void MemoryPlatform::setAttributes(const std::string& path, std::uint32_t attributes) {
    const auto resolved = resolve(path);
    if (!resolved || entries_.count(keyOf(*resolved)) == 0) {
        throw std::invalid_argument("no such test entry: " + path);
    }
    entries_[keyOf(*resolved)].attributes = attributes;
}

void MemoryPlatform::setCurrentDirectory(const std::string& path) {
    if (path.size() < 3 || path[1] != ':' || path[2] != '\\') {
        throw std::invalid_argument("current directory must be X:\\...: " + path);
    }
    currentDirectory_ = path;
    if (path.size() > 3) {
        addDirectory(path);
    } else {
        addDrive(path[0]);
    }
}

void MemoryPlatform::setInput(std::string text) {
    input_ = std::move(text);
    inputPosition_ = 0;
}

void MemoryPlatform::resetConsole(std::string input) {
    setInput(std::move(input));
    readCount_ = 0;
    output_.clear();
    flushedOutput_ = 0;
    outputFlushedAtFirstRead_.reset();
    error_.clear();
    events.clear();
    createAttempts.clear();
    created.clear();
    commands.clear();
    outputFlushedAtRun.clear();
}

void MemoryPlatform::addRegistryKey(const std::string& key) { registry_[registryKeyOf(key)]; }

void MemoryPlatform::setRegistryBytes(const std::string& key, const std::string& name,
                                      std::vector<unsigned char> data, std::uint32_t type) {
    registry_[registryKeyOf(key)][upper(name)] = RegistryValue{type, std::move(data)};
}

void MemoryPlatform::setRegistryText(const std::string& key, const std::string& name, const std::string& text) {
    std::vector<unsigned char> data(text.begin(), text.end());
    data.push_back(0);
    setRegistryBytes(key, name, std::move(data), kRegSz);
}

// ---- observation ----------------------------------------------------------

bool MemoryPlatform::directoryExists(const std::string& path) const {
    const auto resolved = resolve(path);
    if (!resolved || !driveExists(resolved->drive)) {
        return false;
    }
    if (resolved->parts.empty()) {
        return true;
    }
    const auto it = entries_.find(keyOf(*resolved));
    return it != entries_.end() && it->second.directory;
}

bool MemoryPlatform::fileExists(const std::string& path) const {
    const auto resolved = resolve(path);
    if (!resolved) {
        return false;
    }
    const auto it = entries_.find(keyOf(*resolved));
    return it != entries_.end() && !it->second.directory;
}

bool MemoryPlatform::registryKeyExists(const std::string& key) const {
    return registry_.count(registryKeyOf(key)) != 0;
}

std::optional<RegistryValue> MemoryPlatform::registryValue(const std::string& key, const std::string& name) const {
    const auto k = registry_.find(registryKeyOf(key));
    if (k == registry_.end()) {
        return std::nullopt;
    }
    const auto v = k->second.find(upper(name));
    if (v == k->second.end()) {
        return std::nullopt;
    }
    return v->second;
}

// ---- Platform: registry -----------------------------------------------------

std::int32_t MemoryPlatform::openRegistryKeyForRead(const char* subKey, RegistryKey& key) {
    events.push_back(std::string("registry open-read ") + subKey);
    key = nullptr;
    if (openForReadError != 0) {
        return openForReadError;
    }
    const std::string k = registryKeyOf(subKey);
    if (registry_.count(k) == 0) {
        return kErrorFileNotFound;
    }
    const std::uintptr_t handle = nextKey_++;
    openKeys_[handle] = k;
    key = reinterpret_cast<RegistryKey>(handle);
    return 0;
}

std::int32_t MemoryPlatform::queryRegistryValue(RegistryKey key, const char* valueName, unsigned char* data,
                                                std::uint32_t& size) {
    events.push_back(std::string("registry query ") + valueName);
    const auto handle = openKeys_.find(reinterpret_cast<std::uintptr_t>(key));
    if (handle == openKeys_.end()) {
        return kErrorInvalidHandle;
    }
    const auto& values = registry_[handle->second];
    const auto v = values.find(upper(valueName));
    if (v == values.end()) {
        return kErrorFileNotFound;
    }
    const std::vector<unsigned char>& bytes = v->second.data;
    if (bytes.size() > size) {
        size = static_cast<std::uint32_t>(bytes.size());
        return kErrorMoreData;
    }
    if (!bytes.empty()) {
        std::memcpy(data, bytes.data(), bytes.size());
    }
    size = static_cast<std::uint32_t>(bytes.size());
    return 0;
}

std::int32_t MemoryPlatform::createRegistryKeyForWrite(const char* subKey, RegistryKey& key) {
    events.push_back(std::string("registry create ") + subKey);
    key = nullptr;
    if (createKeyError != 0) {
        return createKeyError;
    }
    const std::string k = registryKeyOf(subKey);
    registry_[k];  // missing parents need no separate entries here
    const std::uintptr_t handle = nextKey_++;
    openKeys_[handle] = k;
    key = reinterpret_cast<RegistryKey>(handle);
    return 0;
}

std::int32_t MemoryPlatform::setRegistryString(RegistryKey key, const char* valueName, const unsigned char* data,
                                               std::uint32_t size) {
    events.push_back(std::string("registry set ") + valueName);
    const auto handle = openKeys_.find(reinterpret_cast<std::uintptr_t>(key));
    if (handle == openKeys_.end()) {
        return kErrorInvalidHandle;
    }
    if (setValueError != 0) {
        return setValueError;
    }
    registry_[handle->second][upper(valueName)] = RegistryValue{kRegSz, std::vector<unsigned char>(data, data + size)};
    return 0;
}

void MemoryPlatform::closeRegistryKey(RegistryKey key) {
    events.push_back("registry close");
    if (openKeys_.erase(reinterpret_cast<std::uintptr_t>(key)) == 0) {
        ++badCloses_;
    }
}

// ---- Platform: file system ------------------------------------------------

bool MemoryPlatform::getFileAttributes(const char* path, std::uint32_t& attributes) {
    events.push_back(std::string("attributes ") + path);
    const auto resolved = resolve(path);
    if (!resolved || !driveExists(resolved->drive)) {
        return false;
    }
    if (resolved->parts.empty()) {
        attributes = kDirectoryAttribute;
        return true;
    }
    const auto it = entries_.find(keyOf(*resolved));
    if (it == entries_.end()) {
        return false;
    }
    attributes = it->second.attributes;
    return true;
}

bool MemoryPlatform::createDirectory(const char* path) {
    createAttempts.push_back(path);
    bool ok = false;
    const auto resolved = resolve(path);
    if (resolved && driveExists(resolved->drive) && !resolved->parts.empty() &&
        entries_.count(keyOf(*resolved)) == 0) {
        Resolved parent = *resolved;
        parent.parts.pop_back();
        const auto p = entries_.find(keyOf(parent));
        if (parent.parts.empty() || (p != entries_.end() && p->second.directory)) {
            entries_[keyOf(*resolved)] = Entry{true, kDirectoryAttribute};
            ok = true;
        }
    }
    if (ok) {
        created.push_back(path);
    }
    events.push_back(std::string("create ") + path + (ok ? " -> ok" : " -> failed"));
    return ok;
}

std::uint32_t MemoryPlatform::getCurrentDirectory(char* buffer, std::uint32_t size) {
    events.push_back("current directory");
    if (currentDirectoryFails_) {
        return 0;
    }
    const std::uint32_t length = static_cast<std::uint32_t>(currentDirectory_.size());
    if (length + 1 > size) {
        return length + 1;
    }
    std::memcpy(buffer, currentDirectory_.c_str(), length + 1);
    return length;
}

int MemoryPlatform::deleteFile(const char* name) {
    events.push_back(std::string("delete ") + name);
    const auto resolved = resolve(name);
    if (!resolved) {
        return -1;
    }
    const auto it = entries_.find(keyOf(*resolved));
    if (it == entries_.end() || it->second.directory) {
        return -1;
    }
    entries_.erase(it);
    return 0;
}

// ---- Platform: command interpreter, messages ------------------------------

int MemoryPlatform::runCommand(const char* command) {
    events.push_back(std::string("run ") + command);
    commands.push_back(command);
    outputFlushedAtRun.push_back(flushedOutput_ == output_.size());
    return commandHandler ? commandHandler(command) : commandResult_;
}

bool MemoryPlatform::systemErrorText(std::uint32_t code, std::string& text) {
    events.push_back("system error text " + std::to_string(code));
    const auto it = messages_.find(code);
    if (it == messages_.end()) {
        return false;
    }
    text = it->second;
    return true;
}

// ---- Platform: console ------------------------------------------------------

void MemoryPlatform::writeOutput(std::string_view text) {
    events.push_back("stdout " + std::string(text));
    output_ += text;
}

void MemoryPlatform::writeError(std::string_view text) {
    events.push_back("stderr " + std::string(text));
    error_ += text;
}

void MemoryPlatform::flushOutput() {
    events.push_back("flush");
    flushedOutput_ = output_.size();
}

int MemoryPlatform::readInputChar() {
    if (readCount_++ == 0) {
        events.push_back("read");
        outputFlushedAtFirstRead_ = output_.substr(0, flushedOutput_);
    }
    if (inputPosition_ >= input_.size()) {
        return -1;
    }
    return static_cast<unsigned char>(input_[inputPosition_++]);
}

}  // namespace rtinstall::testing
