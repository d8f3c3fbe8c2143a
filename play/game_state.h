// The state of the one game of a program run. Start-up gives it its initial values; the phases of
// a tick change it; nothing resets it.
#pragma once

#include <cstdint>

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
};
