// The game in progress: the game start, the ticks, and the hand-over to the end screens.
#pragma once

#include "play/game_state.h"

// The background tune, relative to the folder the game runs in; the sound service also looks for
// it beside the program and where the game was installed.
inline constexpr const char* kBackgroundSound = "res/Glyph.wav";

// How a tick ended: the game goes on, or the player was caught or reached the finish.
enum class TickOutcome { Continue, Caught, Won };

// Clears the console, prints the game's grid as text and draws it.
void beginGame(const GameState& game);

// Runs one tick of the play loop, all phases in their order.
TickOutcome playTick(GameState& game);

// Runs ticks until the player is caught or wins; returns how the game ended.
TickOutcome playLoop(GameState& game);

// The whole game from the menu's "Start game": game start, play loop, end screen. Never returns.
[[noreturn]] void startGame(GameState& game);
