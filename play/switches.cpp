#include "play/switches.h"

#include "maze/maze_grid.h"

namespace {

bool isWorked(const Door& door, const GameState& game) {
    if (door.workedByWalker)
        return game.grid[door.switchRow][door.switchColumn] == Cell::GrayWalker;
    return game.playerCol == door.switchColumn && game.playerRow == door.switchRow;
}

// The door cells keep their codes in the grid; opening only blanks them on screen and sets the
// flag that lets the player through.
void open(const Door& door, GameState& game) {
    for (const DoorPaint& paint : door.opening) {
        gotoXY(paint.column, paint.row);
        if (paint.spaces != nullptr) {
            putText(paint.spaces);
        } else {
            setColor(paint.colour);
            putGlyph(paint.glyph);
        }
    }
    game.*door.flag = true;
}

}  // namespace

void workSwitches(GameState& game) {
    for (const Door& door : kDoors)
        if (isWorked(door, game)) open(door, game);
}
