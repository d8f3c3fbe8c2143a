#include "front/main_menu.h"
#include "front/startup.h"
#include "play/game_state.h"
#include "play/play_loop.h"

// Start-up, the main menu, then the one game of the run, which ends on its end screen for good.
// The menu's "Exit" ends the program from within the menu.
int main() {
    GameState game;
    int menuSelection = 0;
    startUp(game, menuSelection);
    runMainMenu(menuSelection);
    startGame(game);
}
