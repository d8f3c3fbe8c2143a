// The test console, a headless backend: a screen model with a virtual clock and scripted keys,
// linked into the tests, tools and benchmarks in place of a real console, so the real game code
// runs headless and fast.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "console/console_primitives.h"
#include "console/screen_model.h"

namespace testconsole {

// A fresh console: blank screen, cursor at (0, 0), attribute White, clock at 0, no keys down,
// cursor visible, counters at zero.
void reset();

const ScreenModel& screen();
const ScreenCell& cell(int column, int row);

// Virtual milliseconds passed in pauseMs and in the typewriter's waits; nothing really sleeps.
long long clockMs();
// Moves the virtual clock on, as time passing between two loop passes would.
void advance(long long ms);

bool cursorHidden();
int clearCount();

// Keys. A held key reads as pressed on every query until released. Scripted answers, when given,
// are used first, one per query.
void hold(Key key);
void releaseAll();
void holdOnly(std::initializer_list<Key> keys);
void script(Key key, std::vector<bool> answers);
int queryCount(Key key);

}  // namespace testconsole

// What the game asked of the sound and help-viewer services, in order: "play <path>", "stop",
// "help <file>".
namespace testservices {
void reset();
const std::vector<std::string>& calls();
}  // namespace testservices
