#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "console/services.h"
#include "front/main_menu.h"
#include "front/startup.h"
#include "play/game_state.h"
#include "play/play_loop.h"

namespace {

constexpr int kUsageError = 2;

void printUsage(std::FILE* out) {
    std::fputs(
        "Usage: glyph-labyrinth [--help | --version]\n"
        "\n"
        "Glyph Labyrinth, a maze game for the text console. Started without arguments, it shows\n"
        "its menu; the terminal must be at least 100 columns by 30 rows.\n"
        "\n"
        "  --help     show this help and exit\n"
        "  --version  show the version and exit\n"
        "\n"
        "Every start writes Assistance.txt and Information.txt into the current folder.\n",
        out);
}

// Where the tune was found, so that a player who hears nothing can see why.
void printTune() {
    const std::string tune = dataFilePath(kBackgroundSound);
    std::error_code error;
    if (std::filesystem::is_regular_file(tune, error)) {
        std::printf("Background tune: %s\n", tune.c_str());
    } else {
        std::printf(
            "Background tune: %s is neither here, nor beside the program, nor where the "
            "game was installed; the game plays without it.\n",
            tune.c_str());
    }
}

// The game itself reads no command line. Anyone who starts a program from a shell still expects
// --help and --version to answer and exit, and a mistyped argument to be refused rather than to
// start a game in the terminal, so those are answered here, before the console is touched.
int answerCommandLine(int argc, char** argv) {
    const std::string_view argument = argv[1];
    if (argc == 2 && argument == "--help") {
        printUsage(stdout);
        printTune();
        return 0;
    }
    if (argc == 2 && argument == "--version") {
        std::puts("glyph-labyrinth " GLYPH_VERSION);
        return 0;
    }
    // After --help or --version, the argument that follows is the one too many.
    const bool known = argument == "--help" || argument == "--version";
    std::fprintf(stderr, "glyph-labyrinth: unexpected argument '%s'\n\n",
                 known ? argv[2] : argv[1]);
    printUsage(stderr);
    return kUsageError;
}

}  // namespace

// Start-up, the main menu, then the one game of the run, which ends on its end screen for good.
// The menu's "Exit" ends the program from within the menu.
int main(int argc, char** argv) {
    if (argc > 1) return answerCommandLine(argc, argv);
    GameState game;
    int menuSelection = 0;
    startUp(game, menuSelection);
    runMainMenu(menuSelection);
    startGame(game);
}
