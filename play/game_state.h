// A game in progress: its counters and flags and its own copy of the maze grid, one value that
// can be copied and compared. Start-up gives the program's one game its initial values; the phases
// of a tick change it; nothing resets it. Tests and tools copy it to save and restore a game.
#pragma once

#include <cstdint>

#include "maze/maze_grid.h"

struct GameState {
    std::int32_t playerCol = 4;
    std::int32_t playerRow = 2;
    std::int32_t score = 0;
    std::int32_t timeLeft = 3000;
    std::int32_t elapsedTicks = 0;
    std::int32_t steps = 0;
    bool won = false;

    // Door flags: false at the start, only ever set.
    bool greenDoorOpen = false;
    bool redDoorOpen = false;
    bool yellowDoorOpen = false;
    bool aquaDoorOpen = false;
    bool purpleDoorOpen = false;
    bool grayDoorOpen = false;
    bool whiteDoorOpen = false;
    bool secretPassageOpen = false;

    bool bannerActive = false;
    bool walkersMoveLeft = true;  // shared by every walker; true means leftward

    // The level, changed in place as dots are eaten and enemies move.
    MazeGrid grid = kLevel;
};
