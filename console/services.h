// Services of the platform beside the console: background sound, the help files and their viewer.
//
// Like the console primitives, each program links one implementation: the terminal services
// (SDL2_mixer, $VISUAL/$EDITOR), the Windows services (PlaySoundW, notepad) or the test recorder.
// Files are written the same way by every program of a platform (text_files_posix.cpp or
// text_files_win32.cpp), the tests included.
#pragma once

#include <cstdio>
#include <string>

// Starts the sound file playing in the background, unless a sound of ours is still playing, in
// which case nothing happens. Called on every tick, so it must be cheap when the sound plays.
// A missing file or audio device leaves the game silent, without any message.
void playBackgroundSound(const char* path);

// Where a data file that the game names relative to its working directory ("res/Glyph.wav") is
// found: there when it exists, else beside the program or in the folder the game's data was
// installed to. The name as given when it is nowhere. playBackgroundSound looks its file up so.
std::string dataFilePath(const char* path);

// Opens a file of the working directory for writing text, creating it or cutting it to zero
// length; lines end in the platform's text line ends. Only a plain file of that name is ever
// written: a symbolic link (one that points nowhere too), a folder, a pipe or a device is not
// opened, and nothing is created anywhere but under that name. Null when it cannot be opened.
std::FILE* openTextFileForWriting(const char* name);

// Stops all sound of the program.
void stopSound();

// Shows a help file to the player in the platform's text viewer and returns when the player has
// finished with it. The console is handed over for that time and taken back afterwards.
void showHelpFile(const char* fileName);
