// The installer flow, written once against the Platform
// interface.  Plain procedural code: three path buffers of kPathSize
// characters, small routines that each do one step.
#include "installer_flow.hpp"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace rtinstall {

namespace {

// The banner, after its first line, printed line by line.
constexpr const char* kBannerLines[] = {
    "\n",
    "This application installs the Karvel Vantorel run-time libraries. These\n",
    "libraries are needed to run applications that were built for Karvel.\n",
    "Use of this installer, and of the libraries that it installs, is governed\n",
    "by the software licence agreement of the maker of the libraries and by the\n",
    "licence of the application with which this installer came.\n",
    "\n",
    "Once this installer has finished, you must add the directory <VANTO>\\bin\\win32\n",
    "to your PATH environment variable, where <VANTO> represents the directory to\n",
    "which you chose to install the run-time libraries. If you have a Karvel\n",
    "directory (from a Karvel installation) on your PATH, you must add the\n",
    "run-time libraries directory to the PATH before the Karvel directory.\n",
    "\n",
    "Note: If you already have installed the run-time libraries for another\n",
    "      application, you do not need to reinstall them. Simply make sure that\n",
    "      your PATH is configured correctly as mentioned above.\n",
    "\n",
};

constexpr const char* kVersionLine = "Karvel Vantorel Installer version %s.\n";
constexpr const char* kAlreadyInstalled =
    "Run-time libraries already installed at '%s'. Not reinstalling.\n";
constexpr const char* kPrompt =
    "Enter the directory to which to install the run-time libraries\n  [default: %s]: ";
constexpr const char* kCouldNotCreate = "Error: could not create %s.\n";
constexpr const char* kCouldNotRun = "Error: could not run command '%s'.\n";
constexpr const char* kSystemError = "Error: %s\n";
constexpr const char* kNoAnswer =
    "Error: standard input ended before a directory was entered. Nothing was installed.\n";

// At most this many characters of an over-long answer are kept, only to
// echo them in the error message.
constexpr std::size_t kMaxEchoedAnswer = 32768;

[[gnu::format(printf, 1, 2)]] std::string formatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list argsAgain;
    va_copy(argsAgain, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<std::size_t>(length));
        std::vsnprintf(text.data(), text.size() + 1, format, argsAgain);
    }
    va_end(argsAgain);
    return text;
}

void printBanner(Platform& platform) {
    platform.writeOutput(formatText(kVersionLine, kVersion));
    for (const char* line : kBannerLines) {
        platform.writeOutput(line);
    }
}

// Step 3: the default buffer receives the current directory, or stays empty
// when it cannot be obtained (including when it does not fit).
void readDefaultDirectory(Platform& platform, char* defaultDir) {
    defaultDir[0] = '\0';
    const std::uint32_t length = platform.getCurrentDirectory(defaultDir, kPathSize);
    if (length == 0 || length >= kPathSize) {
        defaultDir[0] = '\0';
    } else {
        defaultDir[length] = '\0';
    }
}

enum class AnswerRead { Line, EndOfInput };

// Step 4: reads one line of standard input without its line terminator
// ("\n", "\r\n" or an unterminated last line).  The whole line is consumed
// so that an answer longer than the path buffer can be refused instead of
// being silently cut.
AnswerRead readAnswerLine(Platform& platform, std::string& line) {
    line.clear();
    int c = platform.readInputChar();
    if (c < 0) {
        return AnswerRead::EndOfInput;
    }
    while (c >= 0 && c != '\n') {
        if (line.size() < kMaxEchoedAnswer) {
            line.push_back(static_cast<char>(c));
        }
        c = platform.readInputChar();
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return AnswerRead::Line;
}

// Step 5: resolves the answer in place.  False when the joined path would
// not fit the path buffers; `refused` then receives the whole joined text.
bool resolveInstallPath(const char* defaultDir, char* answer, char* work, std::string& refused) {
    if (answer[0] == '\0') {
        std::memcpy(answer, defaultDir, std::strlen(defaultDir) + 1);
        return true;
    }
    if (answer[0] == '\\' || answer[0] == '/' || answer[1] == ':') {
        return true;
    }
    const int length = std::snprintf(work, kPathSize, "%s\\%s", defaultDir, answer);
    if (length < 0 || static_cast<std::size_t>(length) >= kPathSize) {
        refused = formatText("%s\\%s", defaultDir, answer);
        return false;
    }
    std::memcpy(answer, work, static_cast<std::size_t>(length) + 1);
    return true;
}

// Steps 3 to 8.  Returns the exit status.
int installInteractively(Platform& platform, char* defaultDir, char* answer, char* work) {
    readDefaultDirectory(platform, defaultDir);
    platform.writeOutput(formatText(kPrompt, defaultDir));
    platform.flushOutput();

    std::string line;
    if (readAnswerLine(platform, line) == AnswerRead::EndOfInput) {
        platform.writeError(kNoAnswer);
        return kStatusFailure;
    }
    if (line.size() >= kPathSize) {
        platform.writeError(formatText(kCouldNotCreate, line.c_str()));
        return kStatusFailure;
    }
    // A NUL byte would end the path early: the directory made, run into and
    // recorded would be another than the one typed. It is refused, shown
    // as <NUL>.
    if (line.find('\0') != std::string::npos) {
        std::string shown;
        for (const char c : line) shown += c == '\0' ? std::string("<NUL>") : std::string(1, c);
        platform.writeError(formatText(kCouldNotCreate, shown.c_str()));
        return kStatusFailure;
    }
    std::memcpy(answer, line.c_str(), line.size() + 1);

    std::string refused;
    if (!resolveInstallPath(defaultDir, answer, work, refused)) {
        platform.writeError(formatText(kCouldNotCreate, refused.c_str()));
        return kStatusFailure;
    }

    if (makeDirectoryPath(platform, answer) != 0) {
        platform.writeError(formatText(kCouldNotCreate, answer));
        return kStatusFailure;
    }

    char command[kCommandSize];
    std::snprintf(command, sizeof command, kCommandFormat, answer);
    platform.flushOutput();
    if (platform.runCommand(command) != 0) {
        platform.writeError(formatText(kCouldNotRun, command));
        return kStatusFailure;
    }

    recordInstallDir(platform, answer);
    return kStatusSuccess;
}

}  // namespace

bool isDirectory(Platform& platform, const char* path) {
    std::uint32_t attributes = 0;
    if (!platform.getFileAttributes(path, attributes)) {
        return false;
    }
    return (attributes & kDirectoryAttribute) != 0;
}

bool readInstallDir(Platform& platform, char* buffer) {
    buffer[0] = '\0';
    RegistryKey key = nullptr;
    if (platform.openRegistryKeyForRead(kRegistryKey, key) != 0) {
        return false;
    }
    std::uint32_t size = kPathSize;
    const std::int32_t result =
        platform.queryRegistryValue(key, kRegistryValue, reinterpret_cast<unsigned char*>(buffer), size);
    platform.closeRegistryKey(key);
    // The value's type is not examined, but it must be terminated text within
    // the bytes read: anything else counts as no installation.
    if (result != 0 || size == 0 || size > kPathSize || std::memchr(buffer, '\0', size) == nullptr) {
        buffer[0] = '\0';
        return false;
    }
    return isDirectory(platform, buffer);
}

void recordInstallDir(Platform& platform, const char* path) {
    RegistryKey key = nullptr;
    std::int32_t result = platform.createRegistryKeyForWrite(kRegistryKey, key);
    if (result != 0) {
        printSystemError(platform, static_cast<std::uint32_t>(result));
        return;
    }
    const std::uint32_t size = static_cast<std::uint32_t>(std::strlen(path) + 1);
    result = platform.setRegistryString(key, kRegistryValue, reinterpret_cast<const unsigned char*>(path), size);
    if (result != 0) {
        printSystemError(platform, static_cast<std::uint32_t>(result));
    }
    platform.closeRegistryKey(key);
}

int makeDirectoryPath(Platform& platform, char* path) {
    if (isDirectory(platform, path)) {
        return 0;
    }
    const std::size_t length = std::strlen(path);
    std::size_t split = 0;
    if (const char* separator = std::strrchr(path, '\\')) {
        split = static_cast<std::size_t>(separator - path);
        if (split > 0 && path[split - 1] == ':') {
            ++split;  // the parent of C:\dir is C:\, not C:
        }
    } else if (const char* colon = std::strrchr(path, ':')) {
        split = static_cast<std::size_t>(colon - path) + 1;
    } else {
        return -1;
    }
    // The parent would be the path itself (Z: or Z:\ on a drive that does
    // not exist): fail instead of recursing without end.
    if (split >= length) {
        return -1;
    }
    const char saved = path[split];
    path[split] = '\0';
    const int parentResult = makeDirectoryPath(platform, path);
    path[split] = saved;
    if (parentResult != 0) {
        return -1;
    }
    return platform.createDirectory(path) ? 0 : -1;
}

void printSystemError(Platform& platform, std::uint32_t code) {
    std::string text;
    if (!platform.systemErrorText(code, text) || text.empty()) {
        text = formatText("system error code %lu (0x%08lX); the system has no message text for it.",
                          static_cast<unsigned long>(code), static_cast<unsigned long>(code));
    }
    platform.writeOutput(formatText(kSystemError, text.c_str()));
}

int runInstaller(Platform& platform) {
    char defaultDir[kPathSize] = {};
    char answer[kPathSize] = {};
    char work[kPathSize] = {};
    int status = kStatusFailure;

    printBanner(platform);
    if (readInstallDir(platform, defaultDir)) {
        platform.writeOutput(formatText(kAlreadyInstalled, defaultDir));
        status = kStatusSuccess;
    } else {
        status = installInteractively(platform, defaultDir, answer, work);
    }

    platform.flushOutput();
    platform.deleteFile(kToolName);  // failure is silent
    return status;
}

}  // namespace rtinstall
