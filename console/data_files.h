// Where the game's data files are found.
//
// The game names its data files by a path relative to the folder it runs in ("res/Glyph.wav").
// Run from its build or an unpacked archive, that is where they are; an installed game runs from
// the player's own folder, which has none, so the services look further: beside the program, then
// in the folder the data was installed to. Each backend finds the program's folder its own way
// and hands it in here.
#pragma once

#include <filesystem>

struct DataFolders {
    // The folder of the running program; empty where the platform cannot tell.
    std::filesystem::path program;
    // The installed data folder relative to the folder the program was installed to, so that a
    // tree installed under any prefix, or unpacked anywhere, finds its own data.
    std::filesystem::path installedFromProgram;
    // The installed data folder as configured, for a program that was moved away from its data.
    std::filesystem::path installed;
};

// The data folders of this build: its program's folder, and where it installs its data.
DataFolders installedDataFolders(std::filesystem::path programFolder);

// The first of these that is a file: the name as given, relative to the working directory; the
// name in the program's folder; the name without its leading "res/" in the installed data folder,
// found from the program's folder, then as configured. The name as given where none is, and
// always for an absolute name.
std::filesystem::path locateDataFile(const std::filesystem::path& name, const DataFolders& folders);
