// A console that records what a terminal would be sent: the game draws into a screen model, and
// every cell it writes is also counted as a writer without any shadow screen would send it (a
// cursor address wherever the cursor is not already, a colour wherever it changes, then the
// glyph). At every pause a presenter is called with the picture as it stands, as a terminal
// backend presents it there. No keys are ever pressed; time is virtual. For the output-cost
// benchmark and the reference pictures of the terminal tests.
#pragma once

#include <cstddef>

#include "console/screen_model.h"
#include "console/terminal/escape_writer.h"

namespace recording {

// Starts afresh: a blank picture, nothing counted, the naive writer using these escapes (with
// none, nothing is counted).
void reset(const TerminalEscapes& escapes);

const ScreenModel& screen();

// Bytes the naive writer has sent so far.
std::size_t naiveBytes();

// Called at every pause of the game, with the picture as it stands.
void onPause(void (*presenter)(const ScreenModel&));

}  // namespace recording
