// The console primitives on a shadow screen, the same for every platform.
//
// The game draws into a model of the 100 x 30 console (the picture); the platform's screen is
// brought up to date with it only at these moments, by the linked backend (console_backend.h):
// - a pause, and each letter of the typewriter: the picture is shown, then the wait begins;
// - the start of a sweep over the whole picture, which the game begins by moving the cursor to
//   (0, 0). Loops that repaint the screen without pausing (the menu, the end screens) start every
//   pass that way, and at that moment the picture of the previous pass stands complete. It is
//   shown once the frame (~60 Hz) is over. When the pass changed nothing on the screen and no key
//   that it polls is down, nothing the game does can change the picture before the player does
//   something: the loop then waits until input comes. The first such moment after a clear starts
//   the first sweep: it shows nothing (a blank screen) and does not wait;
// - before another program takes the screen (present, below);
// - as a safety net, when drawing has gone on for so long since the last presentation or the end
//   of the last wait, whichever is later, that the pass must have been held up. Counting from the
//   end of a wait matters: the picture shown before a pause is long out of date after it, while
//   the next pass is only just being drawn.
// Key polls read input and show nothing. The states a pass goes through on its way (the menu
// draws the selected box White, then Green) never reach the screen. A platform whose own work
// runs only while the game waits (a web page) gets a turn once a frame during long passes.
//
// A tap that a key poll has seen counts on every poll of the same pass (until the next pause,
// letter or sweep), however long the pass takes, and on none of the next.
//
// Where there is no screen (standard output is a file or a pipe), the text goes out in order,
// without positions or colours, and no key is ever pressed; sweeps that repeat the one before
// them exactly are left out (plain_output.h).
#pragma once

#include "console/key_state.h"

namespace shadow {

// The key state the backend applies its key events to; the game's polls read it.
KeyState& keys();

// No key is pressed or down, and no tap counts any more in this pass: another program had the
// keyboard, or the screen lost it.
void forgetKeys();

// Brings the screen up to date with the picture now: before another program takes the screen,
// and from a backend's wait when the screen needs the picture again.
void present();

// The screen and the keyboard were another program's for a while (a help viewer) and are back:
// what was pressed meanwhile is forgotten, and the time away counts as a wait, so the pass drawn
// next is not shown half done.
void screenReturned();

}  // namespace shadow
