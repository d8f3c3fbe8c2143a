// Key scripts: the arrow keys held on each tick of a game, one line per tick, as the route finder
// writes them and the tests replay them on the test console.
//
// A line names the keys held during its tick ("up", "down", "left", "right", separated by
// spaces) or holds "-" for none. Text after "#" is a comment; a line holding only a comment
// stands for no tick.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "play/game_state.h"
#include "play/play_loop.h"

// The arrow keys held during one tick, one bit per key.
using HeldKeys = std::uint8_t;
inline constexpr HeldKeys kHoldUp = 1;
inline constexpr HeldKeys kHoldDown = 2;
inline constexpr HeldKeys kHoldLeft = 4;
inline constexpr HeldKeys kHoldRight = 8;

// The script's ticks in order, or nothing when a line names no key it knows.
std::optional<std::vector<HeldKeys>> parseKeyScript(std::istream& in);
std::optional<std::vector<HeldKeys>> readKeyScript(const std::string& path);

// One tick's keys as a script line: "up left", or "-".
std::string formatHeldKeys(HeldKeys keys);

// Holds exactly these keys on the test console until the next call.
void holdKeys(HeldKeys keys);

// A script played from the current game state: the ticks it ran, how the last one ended, and
// where the player stood after each tick's moves.
struct ScriptReplay {
    int ticks = 0;
    TickOutcome outcome = TickOutcome::Continue;
    std::vector<std::pair<int, int>> restCells;
};

// Plays the script tick by tick and stops at its end or when the game ends.
ScriptReplay replayKeyScript(const std::vector<HeldKeys>& script, GameState& game);
