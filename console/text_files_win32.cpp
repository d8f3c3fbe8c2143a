// Writing the help files on Windows.
#include <windows.h>
// After windows.h.
#include <fcntl.h>
#include <io.h>

#include <cstdint>

#include "console/services.h"

std::FILE* openTextFileForWriting(const char* name) {
    // FILE_FLAG_OPEN_REPARSE_POINT opens a symbolic link or junction itself, never what it points
    // to, and never creates a file there; seen to be one, it is left alone. Opening the name
    // first and cutting it only once it is known to be a plain file on disk leaves no moment in
    // which the name could be swapped for a link. A file with another name (a hard link) is left
    // alone too: the text would reach it under that name as well.
    const HANDLE handle =
        CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool plain =
        GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info) &&
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0 &&
        info.nNumberOfLinks == 1;
    if (!plain || !SetEndOfFile(handle)) {
        CloseHandle(handle);
        return nullptr;
    }
    // Text mode: every "\n" is stored as CR LF.
    const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), _O_WRONLY | _O_TEXT);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "wt");
    if (file == nullptr) _close(fd);
    return file;
}
