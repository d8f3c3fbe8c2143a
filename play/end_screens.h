// The end of the game: the win screen with the statistics, or the loss screen.
#pragma once

#include <cstdint>

#include "play/game_state.h"

// The score the win screen shows: what is left of the clock counts ten a tick, every step costs
// one.
std::int32_t computeTotalScore(const GameState& game);

// Clears the console and stops the sound for good, then draws the end screen for the outcome in
// `game.won` again and again, reading no key. Never returns.
[[noreturn]] void runEndScreen(const GameState& game);

// One pass of the end screen: stop the sound, then the statistics (on a win) and the picture.
void drawEndScreenPass(const GameState& game, std::int32_t totalScore);
