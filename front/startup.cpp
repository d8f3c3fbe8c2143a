#include "front/startup.h"

#include <cstdio>
#include <iterator>
#include <string_view>

#include "console/console_primitives.h"
#include "console/services.h"

namespace {

// The player's guide: the keys, the goal, the total score, and a face to finish with. The picture
// rows are 38 characters wide, trailing spaces included, and the score sentence carries one such
// blank row at its end.
// clang-format off
constexpr std::string_view kAssistanceLines[] = {
    "Menu Controls:",
    "Top arrow: choose the upper option.",
    "Bottom arrow: choose the lower option.",
    "Enter key: enter chosen option.",
    "",
    "Game Controls:",
    "Top arrow: move upward.",
    "Bottom arrow: move downward.",
    "Left arrow: move leftward.",
    "Right arrow: move rightward.",
    "",
    "Gameplay",
    "Escape the maze you're trapped in, collect dots to get some points, open the doors by "
    "stepping on the circle of the same color and don't be caught by the enemies.",
    "",
    "How total score works.",
    "At the end of the game, after you win, you will get your total score in the game. "
    "Total score is your score + remaining * 10 - moves."
                                  "                                      ",
                                  "                                      ",
                                  "                             ####     ",
                                  "                           ########   ",
                                  "                          ##########  ",
                                  "                         ############ ",
                                  "                         ##  ####  ## ",
                                  "                        ###  ####  ###",
                                  "                        ##############",
                                  "                        ##############",
                                  "                        #### #### ####",
                                  "                         ####    #### ",
                                  "                         ############ ",
                                  "                          ##########  ",
                                  "                           ########   ",
                                  "                             ####     ",
};
// clang-format on
static_assert(std::size(kAssistanceLines) == 31);

// What the game is and where its documentation lives: the README beside the program.
constexpr std::string_view kInformationLines[] = {
    "Glyph Labyrinth is a maze game for the command prompt, played with the arrow keys. "
    "More information here:  README.md in the game's folder",
    "Made by the Glyph Labyrinth developers.",
};

// Text mode: on Windows every "\n" is stored as CR LF. The file is closed before the next one is
// opened.
template <std::size_t N>
void writeHelpFile(const char* name, const std::string_view (&lines)[N]) {
    std::FILE* file = openTextFileForWriting(name);
    if (file == nullptr) return;
    for (const std::string_view line : lines) {
        std::fwrite(line.data(), 1, line.size(), file);
        std::fputc('\n', file);
    }
    std::fclose(file);
}

}  // namespace

void writeHelpFiles() {
    writeHelpFile(kAssistanceFile, kAssistanceLines);
    writeHelpFile(kInformationFile, kInformationLines);
}

void startUp(GameState& game, int& menuSelection) {
    game = GameState{};
    menuSelection = 0;
    hideCursor();
    writeHelpFiles();
    clearScreen();
}
