// The terminal's life under the game: entering and leaving it, the signals that interrupt it, the
// keyboard protocols, and reading input into the key state (shadow::keys), with the X server's
// word on held keys where it has one. Internal to the terminal backend.
#pragma once

namespace terminal {

// Takes over the terminal on first use, once the game is in its foreground: locale, curses,
// raw-ish input, alternate screen, hidden cursor, colours, stderr kept off the screen, signal
// handlers, keyboard protocol. Returns false when standard output is no terminal: the console
// then writes plain text. A terminal that cannot place the cursor (TERM unset, unknown, or
// "dumb") ends the program with a line on stderr that says so, and status 1.
bool start();

// Whether the terminal shows Unicode (a UTF-8 locale) or only ASCII.
bool unicode();

// Whether the terminal offers the 16 console colours (else the bright ones are bold + base).
bool sixteenColours();

// Gives the terminal back as it was found; safe to call more than once. Registered with atexit.
void leave();

// Hands the terminal to another program and takes it back afterwards. Pending input is thrown
// away on the way back, and no key counts as pressed or down.
void handOver();
void takeBack();

// Milliseconds on the monotonic clock.
long long nowMs();

// Reads everything pending on the input without waiting and applies it to the key state.
void drainInput();

// Waits until input arrives (then drains it), a signal interrupts, or `timeoutMs` passes
// (a negative timeout waits for input or a signal only). With `writableFd`, also until that
// file can take more output. True when input came.
bool waitForInput(int timeoutMs, int writableFd = -1);

// Before the game's key polls: reads pending input into the key state (shadow::keys) and takes
// the X server's word on held keys where there is one.
void pollKeys();

// Facts left by signal handlers, each reported once. `takeResized` fills in the new size.
// After a stop, `takeContinued` (like every read of input) first waits for the foreground and
// takes the terminal back.
bool takeResized(int& rows, int& columns);
bool takeContinued();

// For a program that borrows the terminal (borrower.h).
// Returns when the game is in the foreground of its terminal (at once where it has no job
// control over it).
void waitForForeground();
// Puts back the modes the terminal had when the game started.
void restoreOriginalModes();
// How often the game has been stopped so far.
int stopCount();
// Whether the game was started with the signal set to be ignored.
bool ignoredAtStart(int signal);

}  // namespace terminal
