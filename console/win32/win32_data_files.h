// The data files of the Windows build and the names the game gives files, as the wide characters
// that Windows' calls take.
#pragma once

#include <filesystem>
#include <string>

// A name that the game gives in the program's ANSI code page, as the wide characters that
// Windows' calls take.
std::wstring wideName(const char* name);

// dataFilePath's answer as a path with backslashes, looked up once per name: the sound call
// asks on every tick.
const std::filesystem::path& dataFileLocation(const char* path);
