// Writing the help files on POSIX systems (terminals, and the browser's file system).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "console/services.h"

std::FILE* openTextFileForWriting(const char* name) {
    // O_NOFOLLOW: a symbolic link in the folder, even one pointing nowhere, fails to open rather
    // than have the file it names replaced or created. O_NONBLOCK: a pipe without a reader fails
    // rather than hold the game until one comes. O_NOCTTY: a terminal never becomes ours. The file
    // is cut only once it is known to be a plain file with no other name: a hard link would carry
    // the text into the file it shares its contents with.
    const int fd =
        open(name, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1 ||
        ftruncate(fd, 0) != 0) {
        close(fd);
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* file = fdopen(fd, "w");
    if (file == nullptr) close(fd);
    return file;
}
