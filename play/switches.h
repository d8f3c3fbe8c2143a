// The switch phase: a switch that is stood on opens its door, on screen and for the player.
#pragma once

#include <span>

#include "console/console_primitives.h"
#include "play/game_state.h"

// One piece of a door's opening drawing: a run of spaces from a cell, or, where `spaces` is null,
// one glyph in a colour.
struct DoorPaint {
    int column;
    int row;
    const char* spaces;
    unsigned char glyph = 0;
    Colour colour = Colour::White;
};

// A door and its switch. The switch cell shows as an "o" in the door's colour. The gray switch is
// worked by a gray walker standing on it, every other one by the player.
struct Door {
    int switchColumn;
    int switchRow;
    Colour colour;
    bool GameState::*flag;
    bool workedByWalker;
    std::span<const DoorPaint> opening;
};

namespace door_paints {
inline constexpr DoorPaint kGray[] = {{34, 16, " "}, {34, 17, " "}, {34, 18, " "}};
inline constexpr DoorPaint kPurple[] = {{28, 16, " "}, {28, 17, " "}, {28, 18, " "}};
inline constexpr DoorPaint kGreen[] = {{14, 4, "      "}};
inline constexpr DoorPaint kWhite[] = {{13, 20, " "}, {13, 21, " "}, {13, 22, " "}};
// The red run also blanks the red launchers between the door cells; they stay in the grid.
inline constexpr DoorPaint kRed[] = {{55, 11, "        "}};
inline constexpr DoorPaint kYellow[] = {{28, 6, " "}, {1, 11, "         "}};
// Opening the aqua door also shows the hidden cell in the left wall, in Yellow.
inline constexpr DoorPaint kAqua[] = {
    {38, 12, " "}, {38, 13, " "}, {38, 14, " "}, {0, 1, nullptr, 0xBA, Colour::Yellow}};
}  // namespace door_paints

// The doors in the order their switches are tested and their circles drawn: the gray switch,
// watched in the grid, first; then the player's switches.
inline constexpr Door kDoors[] = {
    {25, 17, Colour::Gray, &GameState::grayDoorOpen, true, door_paints::kGray},
    {4, 17, Colour::Purple, &GameState::purpleDoorOpen, false, door_paints::kPurple},
    {2, 6, Colour::Green, &GameState::greenDoorOpen, false, door_paints::kGreen},
    {17, 21, Colour::White, &GameState::whiteDoorOpen, false, door_paints::kWhite},
    {31, 13, Colour::Red, &GameState::redDoorOpen, false, door_paints::kRed},
    {40, 13, Colour::Yellow, &GameState::yellowDoorOpen, false, door_paints::kYellow},
    {36, 13, Colour::Aqua, &GameState::aquaDoorOpen, false, door_paints::kAqua},
};

// Opens every door whose switch is worked in this tick. Standing on a switch repeats the opening
// on every tick, which changes nothing after the first.
void workSwitches(GameState& game);
