// What a platform's console backend gives the shadow console (shadow_console.h), which carries out
// the console primitives once for every platform. The functions below are defined by the one
// backend linked into the program (console/terminal, console/win32, console/web); everything
// they share (the picture, the key state, when to show and how long to wait) is the shadow
// console's.
#pragma once

#include "console/screen_model.h"

namespace backend {

// Where the game's output goes.
enum class Output {
    Screen,      // a screen of the backend's own, brought up to date with the picture (present)
    PlainUtf8,   // no screen (a file, a pipe): the text in order, glyphs in UTF-8,
    PlainAscii,  // or as ASCII shapes,
    PlainBytes,  // or as the code page 437 bytes themselves
};

// Takes the screen and the keyboard, on the game's first console call.
Output start();

// Microseconds on the monotonic clock that the backend waits by.
long long nowUs();

// Brings the screen up to date with `picture`, sending only what the player would see
// differently. False when the screen showed the picture already (or will, once what is on its
// way arrives): the pass that drew it changed nothing.
bool present(const ScreenModel& picture);

// How long a wait is, and what it is for.
enum class Sleep {
    Pause,  // the game's pause or a typewriter letter: until the deadline
    Frame,  // the rest of a display frame, which ends about at the deadline
};

// Sleeps until the deadline, reading input into the key state as it comes, and keeps the screen
// showing the picture meanwhile (after a resize, or when a slow line frees up).
void sleepUntil(long long deadlineUs, Sleep kind);

// Sleeps until input comes (or the screen needs drawing anew); the game has nothing to show
// until then. A backend may come back sooner: the game then makes one more pass and asks again.
void sleepUntilInput();

// The platform's own work gets a turn, where it runs only while the game waits (a web page);
// elsewhere this returns at once.
void giveTurn();

// Reads what input is pending into the key state, without waiting: before every key poll.
void readInput();

// Makes the screen's cursor invisible.
void hideCursor();

}  // namespace backend
