#include "console/data_files.h"

#include <iterator>
#include <system_error>
#include <utility>

#ifndef GLYPH_DATA_DIR_FROM_PROGRAM
#error "GLYPH_DATA_DIR_FROM_PROGRAM and GLYPH_DATA_DIR come from the build's install folders"
#endif

namespace {

bool isFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

// An installed data folder holds the files themselves, not a res/ folder around them.
std::filesystem::path withoutResFolder(const std::filesystem::path& name) {
    auto part = name.begin();
    if (part == name.end() || *part != "res" || std::next(part) == name.end()) return name;
    std::filesystem::path rest;
    for (++part; part != name.end(); ++part) rest /= *part;
    return rest;
}

}  // namespace

DataFolders installedDataFolders(std::filesystem::path programFolder) {
    // The folders are configured as UTF-8, whatever the platform's own narrow encoding is.
    return {std::move(programFolder), std::filesystem::path(u8"" GLYPH_DATA_DIR_FROM_PROGRAM),
            std::filesystem::path(u8"" GLYPH_DATA_DIR)};
}

std::filesystem::path locateDataFile(const std::filesystem::path& name,
                                     const DataFolders& folders) {
    std::filesystem::path asked = name;
    asked.make_preferred();
    if (asked.is_absolute() || isFile(asked)) return asked;

    const std::filesystem::path installedName = withoutResFolder(asked);
    std::filesystem::path candidates[3];
    if (!folders.program.empty()) {
        candidates[0] = folders.program / asked;
        candidates[1] = folders.program / folders.installedFromProgram / installedName;
    }
    if (!folders.installed.empty()) candidates[2] = folders.installed / installedName;
    for (auto& candidate : candidates) {
        if (!candidate.empty() && isFile(candidate))
            return candidate.lexically_normal().make_preferred();
    }
    return asked;
}
