// The data files of the Windows build, as wide-character paths for the calls that take them.
#pragma once

#include <filesystem>

// dataFilePath's answer as a path with backslashes, looked up once per name: the sound call
// asks on every tick.
const std::filesystem::path& dataFileLocation(const char* path);
