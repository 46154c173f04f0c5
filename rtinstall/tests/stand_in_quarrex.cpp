// A stand-in for the extraction tool "quarrex.exe", cross-compiled by the
// end-to-end test (tests/wine_e2e.sh).  It appends its command line, its
// arguments, its current directory and whether the "-d" target exists to
// "quarrex.log" next to itself, prints one line on standard output, and
// exits with the status written in "quarrex.status" next to itself (0 when
// that file is absent).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    char self[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string dir(self, length);
    dir.erase(dir.find_last_of('\\') + 1);

    const char* target = nullptr;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-d") == 0) {
            target = argv[i + 1];
        }
    }
    bool targetIsDirectory = false;
    if (target != nullptr) {
        const DWORD attributes = GetFileAttributesA(target);
        targetIsDirectory = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, cwd);

    if (FILE* log = std::fopen((dir + "quarrex.log").c_str(), "ab")) {
        std::fprintf(log, "cmdline=%s\n", GetCommandLineA());
        std::fprintf(log, "argc=%d\n", argc);
        for (int i = 1; i < argc; ++i) {
            std::fprintf(log, "argv[%d]=%s\n", i, argv[i]);
        }
        std::fprintf(log, "cwd=%s\n", cwd);
        std::fprintf(log, "target_is_directory=%s\n", targetIsDirectory ? "yes" : "no");
        std::fclose(log);
    }

    int status = 0;
    if (FILE* file = std::fopen((dir + "quarrex.status").c_str(), "r")) {
        if (std::fscanf(file, "%d", &status) != 1) {
            status = 0;
        }
        std::fclose(file);
    }
    std::printf("quarrex stand-in: unpacking into %s\n", target != nullptr ? target : "(no -d)");
    std::fflush(stdout);
    return status;
}
