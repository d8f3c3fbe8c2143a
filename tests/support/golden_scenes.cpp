// The scenes whose whole pictures the suite keeps: the game after its first tick, after a walk
// through every door and the hidden route, the win and loss screens, and the menu.
#include <string>

#include "console/headless/test_console.h"
#include "front/main_menu.h"
#include "play/end_screens.h"
#include "play/play_loop.h"
#include "play/switches.h"
#include "tests/support/golden_screen.h"
#include "tools/route_finder_script.h"

namespace {

GameState freshGame() {
    testconsole::reset();
    testservices::reset();
    GameState game;
    beginGame(game);
    return game;
}

// Plays a key script of tests/routes from the start of a game.
GameState replayed(const char* route) {
    GameState game = freshGame();
    if (const auto keys = readKeyScript(std::string(GLYPH_ROUTES_DIR) + "/" + route))
        replayKeyScript(*keys, game);
    return game;
}

// What the end screen shows once it has cleared the play screen and drawn its first pass.
void showEndScreen(const GameState& game) {
    clearScreen();
    drawEndScreenPass(game, computeTotalScore(game));
}

void firstTick() {
    GameState game = freshGame();
    playTick(game);
}

// Each switch worked for one tick, without walking there: the player is put on the switches in
// turn, then a gray walker on the gray one, so every door shows its whole opening and no cell of
// it has been crossed. The player's square is drawn under each switch's circle, so moving him
// leaves nothing behind.
void everySwitch() {
    GameState game = freshGame();
    for (const Door& door : kDoors) {
        if (door.workedByWalker) continue;
        game.playerCol = door.switchCell.column;
        game.playerRow = door.switchCell.row;
        playTick(game);
    }
    for (const Door& door : kDoors) {
        if (!door.workedByWalker) continue;
        game.grid[door.switchCell.row][door.switchCell.column] = Cell::GrayWalker;
        playTick(game);
    }
}

void tour() {
    replayed("tour.txt");
}

void win() {
    showEndScreen(replayed("win.txt"));
}

void loss() {
    showEndScreen(replayed("caught.txt"));
}

void menu() {
    testconsole::reset();
    int selection = 0;
    MenuKeys keys;
    menuPass(selection, keys);
}

}  // namespace

const std::vector<GoldenScene>& goldenScenes() {
    static const std::vector<GoldenScene> scenes = {
        {"first-tick", "The game after its first tick, no key held.", firstTick},
        {"every-switch",
         "Each switch worked for one tick: the player put on them in turn, then a gray walker on "
         "the gray one.",
         everySwitch},
        {"tour",
         "After tests/routes/tour.txt: every door open, the hidden cell found and left, the player "
         "in the second status box.",
         tour},
        {"win", "The win screen after tests/routes/win.txt.", win},
        {"loss", "The loss screen after tests/routes/caught.txt.", loss},
        {"menu", "The main menu's first pass, no key held.", menu},
    };
    return scenes;
}
