#include "play/movement.h"

#include <string_view>

#include "console/console_primitives.h"
#include "maze/maze_grid.h"
#include "play/overlays.h"
#include "play/switches.h"

namespace {

struct Step {
    Key key;
    Direction direction;
    int columnDelta;
    int rowDelta;
};

// The keys in the order they are read. Each move starts where the previous one left the player,
// so two keys held together make a diagonal step of two moves.
constexpr Step kSteps[] = {
    {Key::Up, Direction::Up, 0, -1},
    {Key::Down, Direction::Down, 0, 1},
    {Key::Left, Direction::Left, -1, 0},
    {Key::Right, Direction::Right, 1, 0},
};

// Codes that catch a player who comes to rest on them.
constexpr std::string_view kEnemyCodes = "OMmHahbrc";

constexpr int kDotScore = 100;

// Codes open to the player from every side, always: floor, dots, the walkers (he is caught only
// if he stays on one) and the opening in the second status box's side.
constexpr std::string_view kAlwaysOpen = " .abcrmy";

// Cells that let the player in from one side only, once a flag is set (or always, without one):
// the gates open upward with the purple door and rightward with the white one; the hidden cell in
// the left wall opens leftward with the door that reveals it; the hidden passage opens sideways;
// the finish is entered from its right.
struct OneWay {
    char code;
    Direction direction;
    bool GameState::*flag;
};

constexpr OneWay kOneWays[] = {
    {Cell::OneWayGate, Direction::Up, &GameState::purpleDoorOpen},
    {Cell::OneWayGate, Direction::Right, &GameState::whiteDoorOpen},
    {Cell::HiddenLeftWall, Direction::Left, doorRevealing(Cell::HiddenLeftWall).flag},
    {Cell::HiddenPassage, Direction::Left, &GameState::secretPassageOpen},
    {Cell::HiddenPassage, Direction::Right, &GameState::secretPassageOpen},
    {Cell::Finish, Direction::Left, nullptr},
};

// Standing on the hidden cell in the left wall sets a flag for the rest of the game.
constexpr CellPos kHiddenLeftWallCell =
    cellsWhere<1>(kLevel, [](char code) { return code == Cell::HiddenLeftWall; })[0];
static_assert(countCells(kLevel, Cell::HiddenLeftWall) == 1);

bool insideGrid(int column, int row) {
    return column >= 0 && column < kMazeColumns && row >= 0 && row < kMazeRows;
}

bool standsOn(const GameState& game, CellPos cell) {
    return game.playerCol == cell.column && game.playerRow == cell.row;
}

}  // namespace

bool admitsPlayer(const GameState& game, char code, Direction direction) {
    if (kAlwaysOpen.find(code) != std::string_view::npos) return true;
    if (const Door* door = doorHolding(code)) return game.*door->flag;
    for (const OneWay& way : kOneWays)
        if (way.code == code && way.direction == direction)
            return way.flag == nullptr || game.*way.flag;
    return false;
}

TickOutcome movePlayer(GameState& game) {
    for (const Step& step : kSteps) {
        if (!keyPressed(step.key)) continue;
        const int column = game.playerCol + step.columnDelta;
        const int row = game.playerRow + step.rowDelta;
        if (!insideGrid(column, row)) continue;
        const char target = game.grid[row][column];
        if (!admitsPlayer(game, target, step.direction)) continue;
        ++game.steps;
        game.playerCol = column;
        game.playerRow = row;
        // A dot crossed in the middle of a tick scores, but only the rest cell's dot is eaten.
        if (target == Cell::Dot) game.score += kDotScore;
    }

    char& rest = game.grid[game.playerRow][game.playerCol];
    if (kEnemyCodes.find(rest) != std::string_view::npos) return TickOutcome::Caught;
    if (rest == Cell::Finish) {
        game.won = true;
        return TickOutcome::Won;
    }
    if (rest == Cell::Dot) rest = Cell::Floor;

    if (standsOn(game, kLegendSquare)) game.bannerActive = true;
    if (standsOn(game, kHiddenLeftWallCell)) game.secretPassageOpen = true;
    return TickOutcome::Continue;
}
