/* Preloaded into kyhost by the tests: reads of the file named by
   KY_FAIL_READ_PATH return at most 16 bytes once, then fail with EIO, as a
   failing disk or network file system would part-way through a file. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

ssize_t read(int fd, void* buffer, size_t count)
{
    static ssize_t (*realRead)(int, void*, size_t);
    static int readsOfThePath;
    if (realRead == NULL) realRead = (ssize_t(*)(int, void*, size_t))dlsym(RTLD_NEXT, "read");
    const char* path = getenv("KY_FAIL_READ_PATH");
    if (path != NULL) {
        char link[64], target[4096];
        snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
        const ssize_t length = readlink(link, target, sizeof target - 1);
        if (length > 0) {
            target[length] = '\0';
            if (strcmp(target, path) == 0) {
                if (readsOfThePath++ > 0) {
                    errno = EIO;
                    return -1;
                }
                if (count > 16) count = 16;
            }
        }
    }
    return realRead(fd, buffer, count);
}
