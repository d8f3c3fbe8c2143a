// The data files of the terminal build: the program's folder is where the running executable
// really is, symbolic links followed, so that a link to the program in a folder on PATH still
// finds the data installed beside its target.
#include "console/data_files.h"

#include <system_error>

#include "console/services.h"

#if defined(__APPLE__)
#include <mach-o/dyld.h>

#include <cstdint>
#include <vector>
#endif

namespace {

std::filesystem::path programFolder() {
    std::error_code error;
#if defined(__APPLE__)
    std::uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::vector<char> buffer(size + 1, '\0');
    if (_NSGetExecutablePath(buffer.data(), &size) != 0) return {};
    const auto program = std::filesystem::canonical(buffer.data(), error);
#else
    // Linux, and the BSDs that mount a Linux-style /proc; elsewhere only the installed folder.
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
#endif
    return error ? std::filesystem::path() : program.parent_path();
}

}  // namespace

std::string dataFilePath(const char* path) {
    return locateDataFile(path, installedDataFolders(programFolder())).string();
}
