// The X server's word on which keys are down, for terminals that are windows on an X display
// (and tmux or screen inside them), where the terminal itself reports no releases.
//
// libX11 is loaded at run time: the game neither links nor needs it. Everything that talks to
// the X server runs on a thread of its own, so no connection, however slow or dead, delays the
// game: it connects in the background, and while some key is watched it looks at the key map
// every few milliseconds and leaves the latest look for the game to pick up without waiting.
// Internal to the terminal backend.
#pragma once

#include <cstdint>

#include "console/console_primitives.h"

namespace terminal::xkeyboard {

// The keys whose state a look reports, by bit: bit i is kViewKeys[i].
inline constexpr Key kViewKeys[] = {Key::Enter, Key::Left, Key::Up, Key::Right, Key::Down};

// Starts connecting to the display that DISPLAY names, if any. Safe to call more than once.
void start();

// Whether the game wants looks at the key map (some key is pressed and not yet seen released).
void watch(bool wanted);

// Key events came in from the terminal: a look requested before now says nothing about them.
void inputArrived();

// The newest look at the key map, if it was requested after the last inputArrived(): one bit per
// key of kViewKeys in `downMask`, and when the look was requested, on the terminal clock. False
// when there is none that new (or no X server).
bool latestView(std::uint8_t& downMask, long long& requestedMs);

// Gives up the X server for good (it turned out not to see the keyboard).
void stop();

// Whether the connection is up and looks can come.
bool connected();

}  // namespace terminal::xkeyboard
