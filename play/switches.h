// The switch phase: a switch that is stood on opens its door, on screen and for the player.
//
// The door table says what each door is: its codes, colour, switch and flag. Where its cells are
// is read off the level picture at compile time, so moving a door in the picture moves what its
// switch blanks, and a picture that no longer fits the table does not compile.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "console/console_primitives.h"
#include "maze/glyph_table.h"
#include "maze/maze_grid.h"
#include "play/game_state.h"

// A door and its switch. The switch cell shows as an "o" in the door's colour. The gray switch is
// worked by a gray walker standing on it, every other one by the player.
struct Door {
    const char* name;
    std::string_view codes;  // the door's cells: closed to the player until the flag is set
    Colour colour;
    CellPos switchCell;
    bool GameState::*flag;
    bool workedByWalker = false;
    // Cells that only look like the door, blanked on screen with it: they keep their own roles.
    std::string_view lookalikes = "";
    // A hidden cell that the opening shows in kRevealedLook, as a hint that it now lets the player
    // through.
    char reveals = '\0';

    constexpr bool blanks(char code) const {
        return codes.find(code) != std::string_view::npos ||
               lookalikes.find(code) != std::string_view::npos;
    }
};

// The doors in the order their switches are tested and their circles drawn: the gray switch,
// watched in the grid, first; then the player's switches.
// clang-format off
inline constexpr Door kDoors[] = {
    {"gray",   "T",  Colour::Gray,   {25, 17}, &GameState::grayDoorOpen, true},
    {"purple", "U",  Colour::Purple, {4, 17},  &GameState::purpleDoorOpen},
    {"green",  "A",  Colour::Green,  {2, 6},   &GameState::greenDoorOpen},
    {"white",  "W",  Colour::White,  {17, 21}, &GameState::whiteDoorOpen},
    // The red launchers stand among the red door's cells and look like them.
    {"red",    "B",  Colour::Red,    {31, 13}, &GameState::redDoorOpen,    false, "pP"},
    {"yellow", "CD", Colour::Yellow, {40, 13}, &GameState::yellowDoorOpen},
    {"aqua",   "E",  Colour::Aqua,   {36, 13}, &GameState::aquaDoorOpen,   false, "",
     Cell::HiddenLeftWall},
};
// clang-format on
inline constexpr std::size_t kDoorCount = std::size(kDoors);

// The look of a revealed hidden cell: the left wall's piece, in Yellow.
inline constexpr GlyphLook kRevealedLook = {0xBA, Colour::Yellow};

// The door whose cells hold `code`, or none.
constexpr const Door* doorHolding(char code) {
    for (const Door& door : kDoors)
        if (door.codes.find(code) != std::string_view::npos) return &door;
    return nullptr;
}

// The door whose opening reveals the hidden cell `code`. Every hidden cell that a door reveals
// has one.
constexpr const Door& doorRevealing(char code) {
    for (const Door& door : kDoors)
        if (door.reveals == code) return door;
    return kDoors[0];  // not reached for a revealed code: the checks below make sure
}

// Hidden cells: cells of the level that look like wall or box side and let the player through in
// some directions (the movement phase has the rules). The overlay phase keeps them drawn.
inline constexpr std::string_view kHiddenCodes = "IQwy";
inline constexpr auto kHiddenCells = cellsHolding<8>(kLevel, kHiddenCodes);
static_assert(kHiddenCells.fits(), "more hidden cells in the level than the list holds");

// What opening a door draws: its cells (and their lookalikes) blanked run by run, top to bottom,
// each row from the left; then the cell it reveals.
struct DoorOpening {
    FixedList<CellRun, 4> blankRuns;
    FixedList<CellPos, 1> revealed;
};

inline constexpr auto kDoorOpenings = [] {
    std::array<DoorOpening, kDoorCount> openings{};
    for (std::size_t i = 0; i < kDoorCount; ++i) {
        const Door& door = kDoors[i];
        openings[i].blankRuns = runsWhere<4>(kLevel, [&](char code) { return door.blanks(code); });
        if (door.reveals != '\0')
            openings[i].revealed =
                cellsWhere<1>(kLevel, [&](char code) { return code == door.reveals; });
    }
    return openings;
}();

// Opens every door whose switch is worked in this tick. Standing on a switch repeats the opening
// on every tick, which changes nothing after the first.
void workSwitches(GameState& game);
