// The data files of the Windows build: the program's folder is the folder of the .exe, which an
// unpacked archive keeps beside its res\ folder.
#include "console/win32/win32_data_files.h"

#include <windows.h>

#include <string>

#include "console/data_files.h"
#include "console/services.h"

std::wstring wideName(const char* name) {
    const int length = MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
    if (length <= 1) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name, -1, wide.data(), length);
    wide.pop_back();  // the terminating zero that the count included
    return wide;
}

namespace {

std::filesystem::path programFolder() {
    // The path is cut short, not refused, when the buffer is too small: grow it until it fits.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return std::filesystem::path(buffer).parent_path();
        }
        if (buffer.size() >= 32768) return {};  // the longest path Windows has
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

const std::filesystem::path& dataFileLocation(const char* path) {
    static std::string asked;
    static std::filesystem::path found;
    if (found.empty() || asked != path) {
        asked = path;
        found = locateDataFile(wideName(path), installedDataFolders(programFolder()));
    }
    return found;
}

// In the program's ANSI code page, as the game names its files.
std::string dataFilePath(const char* path) {
    const std::wstring& wide = dataFileLocation(path).native();
    const int length =
        WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return path;
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, narrow.data(), length, nullptr, nullptr);
    narrow.pop_back();  // the terminating zero that the count included
    return narrow;
}
