#include "play/movement.h"

#include <string_view>

#include "console/console_primitives.h"
#include "maze/maze_grid.h"

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

// Standing on these cells sets a flag for the rest of the game.
constexpr int kLegendSquareColumn = 79;
constexpr int kLegendSquareRow = 8;
constexpr int kHiddenCellColumn = 0;
constexpr int kHiddenCellRow = 1;

bool insideGrid(int column, int row) {
    return column >= 0 && column < kMazeColumns && row >= 0 && row < kMazeRows;
}

}  // namespace

bool admitsPlayer(const GameState& game, char code, Direction direction) {
    switch (code) {
        case Cell::Floor:
        case Cell::Dot:
        case 'a':
        case 'b':
        case 'c':
        case 'r':
        case 'm':  // walkers: the player may walk into them, and is caught if he stays
        case Cell::BoxOpening:
            return true;
        case Cell::GreenDoor:
            return game.greenDoorOpen;
        case Cell::RedDoor:
            return game.redDoorOpen;
        case Cell::YellowDoor:
        case Cell::YellowDoorSide:
            return game.yellowDoorOpen;
        case Cell::AquaDoor:
            return game.aquaDoorOpen;
        case Cell::PurpleDoor:
            return game.purpleDoorOpen;
        case Cell::GrayDoor:
            return game.grayDoorOpen;
        case Cell::WhiteDoor:
            return game.whiteDoorOpen;
        // One-way cells: the gates open upward with the purple door and rightward with the white
        // one; the hidden passages open sideways or leftward; the finish is entered from its right.
        case Cell::OneWayGate:
            return (direction == Direction::Up && game.purpleDoorOpen) ||
                   (direction == Direction::Right && game.whiteDoorOpen);
        case Cell::HiddenPassage:
            return (direction == Direction::Left || direction == Direction::Right) &&
                   game.secretPassageOpen;
        case Cell::HiddenLeftWall:
            return direction == Direction::Left && game.aquaDoorOpen;
        case Cell::Finish:
            return direction == Direction::Left;
        default:
            return false;
    }
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

    if (game.playerCol == kLegendSquareColumn && game.playerRow == kLegendSquareRow)
        game.bannerActive = true;
    if (game.playerCol == kHiddenCellColumn && game.playerRow == kHiddenCellRow)
        game.secretPassageOpen = true;
    return TickOutcome::Continue;
}
