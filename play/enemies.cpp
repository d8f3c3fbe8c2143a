#include "play/enemies.h"

#include <span>
#include <string_view>

#include "console/console_primitives.h"
#include "maze/maze_grid.h"

namespace {

struct Look {
    unsigned char glyph;
    Colour colour;
    bool restoresWhite;  // set the attribute back to White after the glyph
};

constexpr Look kShotLeftLook = {0xFE, Colour::Red, true};
constexpr Look kShotUpReleasedLook = {0xB0, Colour::Blue, false};
constexpr Look kShotUpLook = {0xB0, Colour::Aqua, false};
constexpr Look kGrayShotUpLook = {0xDF, Colour::Gray, false};

constexpr Look kRedWalkerLook = {0xDE, Colour::Red, true};
constexpr Look kGreenWalkerLook = {0xB2, Colour::Green, false};
constexpr Look kPurpleWalkerLook = {0xFE, Colour::Purple, false};
constexpr Look kYellowWalkerLook = {0xDD, Colour::Yellow, false};
constexpr Look kGrayWalkerLook = {0xFE, Colour::Gray, false};

// Spacing cells: how far beyond its release cell a launcher looks for a projectile of its own
// kind before it releases the next one. The 'N' and 'P' launchers skip the fourth cell, so they
// release a second projectile while the first one stands there.
constexpr int kLeftShortSpacing[] = {2, 3};        // 'M', 'F'
constexpr int kLeftLongSpacing[] = {2, 3, 4};      // 'G'
constexpr int kUpSpacing[] = {2, 3, 4, 5};         // 'n', 'p'
constexpr int kUpSkipSpacing[] = {2, 3, 5, 6, 7};  // 'N', 'P'
constexpr int kGrayUpSpacing[] = {2, 3, 4};        // 'q'

// Cells that end a projectile's flight.
constexpr std::string_view kShotLeftStoppers = "245";
constexpr std::string_view kShotUpStoppers = "18Nn";
constexpr std::string_view kGrayShotUpStoppers = "1n";

constexpr int kLastColumn = kMazeCellsPerRow - 1;

void vacate(MazeGrid& grid, int column, int row) {
    grid[row][column] = Cell::Floor;
    gotoXY(column, row);
    putText(" ");
}

void occupy(MazeGrid& grid, int column, int row, char code, const Look& look) {
    grid[row][column] = code;
    gotoXY(column, row);
    setColor(look.colour);
    putGlyph(look.glyph);
    if (look.restoresWhite) setColor(Colour::White);
}

bool holdsOneOf(const MazeGrid& grid, int column, int row, std::string_view codes) {
    return codes.find(grid[row][column]) != std::string_view::npos;
}

// Spacing cells beyond the grid's edge hold no projectile.
bool spacingHolds(const MazeGrid& grid, int column, int row, int columnStep, int rowStep,
                  std::span<const int> spacing, char shot) {
    for (const int distance : spacing) {
        const int c = column + columnStep * distance;
        const int r = row + rowStep * distance;
        if (c >= 0 && r >= 0 && grid[r][c] == shot) return true;
    }
    return false;
}

void releaseLeft(MazeGrid& grid, int column, int row, std::span<const int> spacing) {
    if (column < 1 || grid[row][column - 1] != Cell::Floor) return;
    if (spacingHolds(grid, column, row, -1, 0, spacing, Cell::ShotLeft)) return;
    occupy(grid, column - 1, row, Cell::ShotLeft, kShotLeftLook);
}

void releaseUp(MazeGrid& grid, int column, int row, std::span<const int> spacing, char shot,
               const Look& look) {
    if (row < 1 || grid[row - 1][column] != Cell::Floor) return;
    if (spacingHolds(grid, column, row, 0, -1, spacing, shot)) return;
    occupy(grid, column, row - 1, shot, look);
}

// A projectile replaces whatever its next cell holds, unless that cell stops it.
void flyLeft(MazeGrid& grid, int column, int row) {
    vacate(grid, column, row);
    if (column >= 1 && !holdsOneOf(grid, column - 1, row, kShotLeftStoppers))
        occupy(grid, column - 1, row, Cell::ShotLeft, kShotLeftLook);
}

void flyUp(MazeGrid& grid, int column, int row, char shot, std::string_view stoppers,
           const Look& look) {
    vacate(grid, column, row);
    if (row >= 1 && !holdsOneOf(grid, column, row - 1, stoppers))
        occupy(grid, column, row - 1, shot, look);
}

bool freeForWalker(const GameState& game, int column, int row, char walker) {
    if (column < 0 || column > kLastColumn) return false;
    const char code = game.grid[row][column];
    return code == Cell::Floor ||
           (walker == Cell::GrayWalker && code == Cell::PurpleDoor && game.purpleDoorOpen);
}

// All walkers share one direction. A walker that finds its way blocked turns the direction for
// itself and for every walker handled after it. A walker moving right lands on the next cell to
// be scanned, so it keeps stepping right within the same tick until it is blocked, turns, and
// steps back one cell. A walker blocked on both sides is not placed again.
void walk(GameState& game, int column, int row, char walker, const Look& look) {
    vacate(game.grid, column, row);
    const int ahead = game.walkersMoveLeft ? column - 1 : column + 1;
    const int behind = game.walkersMoveLeft ? column + 1 : column - 1;
    if (freeForWalker(game, ahead, row, walker)) {
        occupy(game.grid, ahead, row, walker, look);
        return;
    }
    game.walkersMoveLeft = !game.walkersMoveLeft;
    if (freeForWalker(game, behind, row, walker)) occupy(game.grid, behind, row, walker, look);
}

// Every cell meets the enemy tests in a fixed order. A launcher leaves its own cell as it was and
// every mover blanks its cell before anything else, so at most one test acts on a visit, and one
// switch over the codes, in the order of the tests, makes the same scan. Nothing marks an enemy
// as moved: one written into a cell ahead of the scan is handled again there.
void visit(GameState& game, int column, int row) {
    MazeGrid& grid = game.grid;
    switch (grid[row][column]) {
        case 'M':
        case 'F':
            releaseLeft(grid, column, row, kLeftShortSpacing);
            break;
        case 'G':
            releaseLeft(grid, column, row, kLeftLongSpacing);
            break;
        case Cell::ShotLeft:
            flyLeft(grid, column, row);
            break;
        case 'n':
            releaseUp(grid, column, row, kUpSpacing, Cell::ShotUp, kShotUpReleasedLook);
            break;
        case 'N':
            releaseUp(grid, column, row, kUpSkipSpacing, Cell::ShotUp, kShotUpReleasedLook);
            break;
        case 'p':
            releaseUp(grid, column, row, kUpSpacing, Cell::ShotUp, kShotUpReleasedLook);
            break;
        case 'P':
            releaseUp(grid, column, row, kUpSkipSpacing, Cell::ShotUp, kShotUpReleasedLook);
            break;
        case Cell::ShotUp:
            flyUp(grid, column, row, Cell::ShotUp, kShotUpStoppers, kShotUpLook);
            break;
        case 'q':
            releaseUp(grid, column, row, kGrayUpSpacing, Cell::GrayShotUp, kGrayShotUpLook);
            break;
        case Cell::GrayShotUp:
            flyUp(grid, column, row, Cell::GrayShotUp, kGrayShotUpStoppers, kGrayShotUpLook);
            break;
        case 'm':
            walk(game, column, row, 'm', kRedWalkerLook);
            break;
        case 'a':
            walk(game, column, row, 'a', kGreenWalkerLook);
            break;
        case 'b':
            walk(game, column, row, 'b', kPurpleWalkerLook);
            break;
        case 'r':
            walk(game, column, row, 'r', kYellowWalkerLook);
            break;
        case Cell::GrayWalker:
            walk(game, column, row, Cell::GrayWalker, kGrayWalkerLook);
            break;
        default:
            break;
    }
}

}  // namespace

void moveEnemies(GameState& game) {
    for (int row = 0; row < kMazeRows; ++row)
        for (int column = 0; column < kMazeColumns; ++column) visit(game, column, row);
}
