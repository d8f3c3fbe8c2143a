// File names as the Windows wide-character calls take them.
#pragma once

#include <string>

// The game names its files with forward slashes ("res/Glyph.wav"); this gives the wide-character
// path with backslashes ("res\\Glyph.wav"), read in the program's ANSI code page.
std::wstring windowsPath(const char* path);
