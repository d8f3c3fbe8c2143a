// Prints the whole screen as presented at the pause of tick TICKS of a game in which the player
// stands still, for the tmux tests to compare with a real terminal: one line per row, one word
// "glyph:attribute" per cell, both hexadecimal.
//   glyph_render_reference TICKS

#include <cstdio>
#include <cstdlib>

#include "console/headless/recording_console.h"
#include "play/game_state.h"
#include "play/play_loop.h"

namespace {

int ticksLeft = 0;
ScreenModel atPause;

void onPause(const ScreenModel& screen) {
    if (--ticksLeft == 0) atPause = screen;
}

}  // namespace

int main(int argc, char** argv) {
    recording::reset({});
    ticksLeft = argc > 1 ? std::atoi(argv[1]) : 1;
    recording::onPause(onPause);
    GameState game;
    beginGame(game);
    for (int tick = ticksLeft; tick > 0; --tick) playTick(game);
    for (int row = 0; row < ScreenModel::kRows; ++row) {
        for (int column = 0; column < ScreenModel::kColumns; ++column) {
            const ScreenCell& cell = atPause.at(column, row);
            std::printf("%02x:%x ", cell.glyph, static_cast<unsigned>(cell.attr));
        }
        std::printf("\n");
    }
}
