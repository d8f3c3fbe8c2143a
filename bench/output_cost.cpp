// Bytes per tick of play that different ways of updating the terminal send for the same game:
// the player stands still for 300 ticks while walkers and projectiles move and the clock counts.
//
//   naive            every cell the game draws, as it draws it (no shadow screen)
//   curses           curses' screen update fed every cell that differs from the last frame,
//                    in its colour (how the game drew before its own escape writer)
//   curses, tuned    the same, fed only cells that look different, blanks in the colour of the
//                    cell drawn before them so that they need no colour change
//   escape writer    what the game sends now
//   ideal            the changed cells only, each run reached by the shortest address, a colour
//                    set only for a glyph that shows another one, nothing else
//
// The first frame (the whole level) is left out. Byte counts for the terminal type given
// (default xterm-256color); the figures do not depend on the machine or its load.
//   glyph_output_cost [TERM]
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "console/cp437.h"
#include "console/headless/recording_console.h"
#include "console/terminal/curses.h"
#include "console/terminal/escape_writer.h"
#include "play/game_state.h"
#include "play/play_loop.h"

namespace {

constexpr int kTicks = 300;
constexpr int kTerminalColour[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};

// curses on a scratch file in place of a terminal: what it writes is what it would send.
class CursesScreen {
public:
    CursesScreen(const char* type, bool tuned) : tuned_(tuned) {
        file_ = std::tmpfile();
        input_ = std::fopen("/dev/null", "r");
        screen_ = newterm(type, file_, input_);
        set_term(screen_);
        start_color();
        for (int attr = 1; attr < 16; ++attr) init_pair(attr, kTerminalColour[attr], COLOR_BLACK);
        bkgdset(' ' | COLOR_PAIR(7));
        leaveok(stdscr, TRUE);
    }

    std::size_t frame(const ScreenModel& model) {
        set_term(screen_);
        short previousPair = 7;
        for (int row = 0; row < ScreenModel::kRows; ++row) {
            for (int column = 0; column < ScreenModel::kColumns; ++column) {
                const ScreenCell& cell = model.at(column, row);
                ScreenCell& shown = shown_[row * ScreenModel::kColumns + column];
                const bool blank = cp437ToUnicode(cell.glyph) == U' ';
                const bool same = tuned_ ? blank == (cp437ToUnicode(shown.glyph) == U' ') &&
                                               (blank || cell == shown)
                                         : cell == shown;
                if (same) continue;
                const short pair = tuned_ && blank ? previousPair : static_cast<short>(cell.attr);
                const wchar_t text[2] = {static_cast<wchar_t>(cp437ToUnicode(cell.glyph)), 0};
                cchar_t wide;
                setcchar(&wide, text, A_NORMAL, pair, nullptr);
                mvwadd_wch(stdscr, row, column, &wide);
                shown = cell;
                previousPair = pair;
            }
        }
        const long before = std::ftell(file_);
        wrefresh(stdscr);
        std::fflush(file_);
        return static_cast<std::size_t>(lseek(fileno(file_), 0, SEEK_END) - before);
    }

private:
    bool tuned_;
    std::FILE* file_;
    std::FILE* input_;
    SCREEN* screen_;
    std::array<ScreenCell, ScreenModel::kColumns * ScreenModel::kRows> shown_{};
};

// The least a terminal needs: for every run of changed cells the shortest of its absolute,
// column and rightward addresses, a colour for a glyph whose colour is not the one in force.
class Ideal {
public:
    explicit Ideal(const TerminalEscapes& escapes) : escapes_(escapes), writer_(escapes) {}

    std::size_t frame(const ScreenModel& model) {
        std::size_t bytes = 0;
        for (int row = 0; row < ScreenModel::kRows; ++row) {
            for (int column = 0; column < ScreenModel::kColumns; ++column) {
                const ScreenCell& cell = model.at(column, row);
                ScreenCell& shown = shown_[row * ScreenModel::kColumns + column];
                const bool blank = writer_.glyphBytes(cell.glyph) == " ";
                if (cell == shown || (blank && writer_.glyphBytes(shown.glyph) == " ")) continue;
                if (row != row_ || column != column_) {
                    std::size_t move = expand(escapes_.cursorAddress, row, column).size();
                    if (row == row_) {
                        move = std::min(move, expand(escapes_.columnAddress, column).size());
                        if (column > column_)
                            move = std::min(move, expand(escapes_.right, column - column_).size());
                    }
                    bytes += move;
                }
                const int colour = kTerminalColour[static_cast<int>(cell.attr) & 15];
                if (!blank && colour != colour_) {
                    bytes += expand(escapes_.foreground, colour).size();
                    colour_ = colour;
                }
                bytes += writer_.glyphBytes(cell.glyph).size();
                row_ = row;
                column_ = column + 1;
                shown = cell;
            }
        }
        return bytes;
    }

private:
    static std::string expand(const std::string& templ, int a, int b = 0) {
        return tiparm(templ.c_str(), a, b);
    }

    TerminalEscapes escapes_;
    EscapeWriter writer_;
    std::array<ScreenCell, ScreenModel::kColumns * ScreenModel::kRows> shown_{};
    int row_ = -1, column_ = -1, colour_ = -1;
};

struct Writers {
    CursesScreen* curses;
    CursesScreen* tuned;
    EscapeWriter* ours;
    Ideal* ideal;
    std::size_t naiveBefore = 0;
    int frames = 0;
    std::size_t totals[5] = {};
};

Writers* writers = nullptr;

void presentToAll(const ScreenModel& model) {
    std::string ours;
    writers->ours->frame(model, ours);
    const std::size_t sizes[5] = {recording::naiveBytes() - writers->naiveBefore,
                                  writers->curses->frame(model), writers->tuned->frame(model),
                                  ours.size(), writers->ideal->frame(model)};
    writers->naiveBefore = recording::naiveBytes();
    if (writers->frames++ == 0) return;  // the whole level
    for (int i = 0; i < 5; ++i) writers->totals[i] += sizes[i];
}

}  // namespace

int main(int argc, char** argv) {
    const char* type = argc > 1 ? argv[1] : "xterm-256color";
    std::setlocale(LC_ALL, "C.UTF-8");
    setenv("LINES", "30", 1);
    setenv("COLUMNS", "100", 1);
    const TerminalEscapes escapes = TerminalEscapes::forTerminal(type, true);
    if (escapes.cursorAddress.empty()) {
        std::fprintf(stderr, "no terminfo entry for %s\n", type);
        return 1;
    }
    EscapeWriter ours(escapes);
    ours.setTerminalSize(30, 100);
    Ideal ideal(escapes);
    CursesScreen curses(type, false);
    CursesScreen tuned(type, true);
    Writers all{&curses, &tuned, &ours, &ideal};
    writers = &all;

    recording::reset(escapes);
    recording::onPause(presentToAll);
    GameState game;
    beginGame(game);
    for (int tick = 0; tick <= kTicks; ++tick) playTick(game);
    endwin();

    const char* names[5] = {"naive", "curses", "curses, tuned", "escape writer", "ideal"};
    std::printf("bytes per idle play tick on %s, %d ticks:\n", type, all.frames - 1);
    for (int i = 0; i < 5; ++i) {
        const double perTick = static_cast<double>(all.totals[i]) / (all.frames - 1);
        std::printf("  %-14s %6.0f  (%.2f x ideal)\n", names[i], perTick,
                    perTick / (static_cast<double>(all.totals[4]) / (all.frames - 1)));
    }
}
