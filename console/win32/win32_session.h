// The Windows console as the game borrows it: a screen buffer of the game's own, the console's
// keyboard input, and everything given back as it was found however the program ends.
#pragma once

#include <windows.h>

#include "console/console_primitives.h"

namespace win32 {

// Takes the console: makes a screen buffer of the game's own active, switches the output code
// page to 437 and the input to raw key events, and drops input typed before the game started.
// False, with nothing changed, when standard output is not a console.
bool start();

// The screen buffer the game's picture is shown on.
HANDLE screen();

// Reads every pending input event into the key state (shadow::keys); never waits.
void drainInput();

// Waits up to `ms` milliseconds for input, then reads what came; true when something came.
bool waitForInput(int ms);

// True once after the screen buffer was resized behind the game's back: what it shows is unknown.
bool takeScreenLost();

// The keyboard was another program's for a while: what was typed into the console meanwhile is
// dropped, and keys held down now count only after they have been let go.
void afterOtherProgram();

// Puts the console back as the game found it: the player's screen buffer active with its
// contents, cursor and colours untouched, the code page and input mode as before, pending input
// dropped. Safe to call more than once and from the thread of the Ctrl-C handler.
void restore();

}  // namespace win32
