#include "play/switches.h"

#include "maze/maze_renderer.h"

namespace {

// Long enough for the longest door run; a run is blanked with the tail of it.
constexpr std::string_view kSpaces = "                ";

// ---- The door table against the level picture: a level edit that breaks one of these rules
// stops the build.

constexpr bool everyCodeIsInTheLevel() {
    for (const Door& door : kDoors)
        for (const std::string_view codes : {door.codes, door.lookalikes})
            for (const char code : codes)
                if (countCells(kLevel, code) == 0) return false;
    return true;
}
static_assert(everyCodeIsInTheLevel(), "a door code of the table stands nowhere in the level");

// So that a switch's circle has the colour of the door it opens.
constexpr bool doorsAreDrawnInTheirColours() {
    for (const Door& door : kDoors)
        for (const std::string_view codes : {door.codes, door.lookalikes})
            for (const char code : codes)
                if (!mazeGlyph(code) || mazeGlyph(code)->attr != door.colour) return false;
    return true;
}
static_assert(doorsAreDrawnInTheirColours(), "a door's cells are drawn in another colour");

constexpr bool switchesStandOnFloor() {
    for (const Door& door : kDoors)
        if (kLevel[door.switchCell.row][door.switchCell.column] != Cell::Floor) return false;
    return true;
}
static_assert(switchesStandOnFloor(), "a switch stands on a cell of the level that is not floor");

constexpr bool codesBelongToOneDoorEach() {
    int owners[256] = {};
    for (const Door& door : kDoors)
        for (const std::string_view codes : {door.codes, door.lookalikes})
            for (const char code : codes)
                if (++owners[static_cast<unsigned char>(code)] > 1 ||
                    kHiddenCodes.find(code) != std::string_view::npos)
                    return false;
    return true;
}
static_assert(codesBelongToOneDoorEach(),
              "a code belongs to two doors, or to a door and a hidden cell");

constexpr bool openingsFit() {
    for (std::size_t i = 0; i < kDoorCount; ++i) {
        const DoorOpening& opening = kDoorOpenings[i];
        if (!opening.blankRuns.fits() || !opening.revealed.fits()) return false;
        for (const CellRun& run : opening.blankRuns)
            if (run.length > static_cast<int>(kSpaces.size())) return false;
        if (kDoors[i].reveals != '\0' && countCells(kLevel, kDoors[i].reveals) != 1) return false;
    }
    return true;
}
static_assert(openingsFit(), "a door's cells or runs outgrow the lists that hold them");

// ---- The phase.

bool isWorked(const Door& door, const GameState& game) {
    const auto [column, row] = door.switchCell;
    if (door.workedByWalker) return game.grid[row][column] == Cell::GrayWalker;
    return game.playerCol == column && game.playerRow == row;
}

// The door cells keep their codes in the grid; opening only blanks them on screen and sets the
// flag that lets the player through.
void open(const Door& door, const DoorOpening& opening, GameState& game) {
    for (const CellRun& run : opening.blankRuns) {
        gotoXY(run.column, run.row);
        putText(kSpaces.substr(kSpaces.size() - run.length).data());
    }
    for (const CellPos& cell : opening.revealed) {
        gotoXY(cell.column, cell.row);
        setColor(kRevealedLook.attr);
        putGlyph(kRevealedLook.glyph);
    }
    game.*door.flag = true;
}

}  // namespace

void workSwitches(GameState& game) {
    for (std::size_t i = 0; i < kDoorCount; ++i)
        if (isWorked(kDoors[i], game)) open(kDoors[i], kDoorOpenings[i], game);
}
