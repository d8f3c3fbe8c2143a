// The console's text where standard output is no terminal or console (a file, a pipe): what the
// game writes goes there in order, without positions or colours. Internal to the shadow console.
//
// Screens that repaint themselves without end (the menu, the end screens) would add the same
// text to the file over and over, hundreds of kilobytes a second. So the text is cut into sweeps
// at the moments the game starts drawing its picture again from the top, and a sweep that repeats
// the one before it exactly is left out: the output grows only while something changes.
#pragma once

namespace plainoutput {

// Adds a byte to the sweep in progress.
void write(unsigned char byte);

// A pause, or a letter of the typewriter: the text so far goes out now, so that what is shown
// slowly is seen slowly.
void flush();

// The game starts its picture again from the top: the sweep that ends here goes out, unless it
// repeats the previous one and none of it went out at a pause.
void endSweep();

}  // namespace plainoutput
