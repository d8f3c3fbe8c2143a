// A small program on the terminal console that reproduces the game's loop shapes, for the tmux
// tests and for measuring how much processor time they take:
//   keys   play-like ticks: poll the five keys, pause 100 ms; counts the ticks each key was seen
//   menu   menu-like passes without a pause: labels, a full-screen sweep from (0, 0), the key
//          polls Up, Down and Enter once per item, a frame; counts what the polls saw
//   end    end-screen-like passes: a full-screen sweep from (0, 0) and nothing else
//   help   like keys, and Enter shows the file probe-help.txt in the help viewer
//   level  draws the level once, waits a moment and ends (to count the bytes of one render)
// The counters stand on row 29; in the keys and help modes also in the file probe-counts.

#include <cstdio>
#include <string>

#include "console/console_primitives.h"
#include "console/services.h"
#include "maze/maze_renderer.h"

namespace {

void putLine(int row, const std::string& text) {
    gotoXY(1, row);
    setColor(Colour::White);
    putText((text + "     ").c_str());
}

// The picture of every sweep, like the menu's: a box frame in rows 6 to 10 (its label inside is
// not part of it) and shaded cells below.
void sweep(Colour boxColour) {
    for (int row = 0; row < kConsoleRows - 1; ++row) {
        for (int column = 0; column < kConsoleColumns; ++column) {
            gotoXY(column, row);
            if (row >= 6 && row <= 10 && column < 26) {
                const bool edge = row == 6 || row == 10 || column == 0 || column == 25;
                if (!edge) continue;
                setColor(boxColour);
                putGlyph(row == 6 || row == 10 ? 0xCD : 0xBA);
            } else if (row >= 12 && column < 60 && (row + column) % 7 == 0) {
                setColor(Colour::LightBlue);
                putGlyph(0xB1);
            }
        }
    }
}

// The counters also go to the file probe-counts, for tests that cannot read the screen.
void writeCounts(const std::string& line) {
    if (std::FILE* file = std::fopen("probe-counts.tmp", "w")) {
        std::fputs(line.c_str(), file);
        std::fclose(file);
        std::rename("probe-counts.tmp", "probe-counts");
    }
}

[[noreturn]] void keysLoop(bool help) {
    const Key keys[] = {Key::Up, Key::Down, Key::Left, Key::Right, Key::Enter};
    const char* names[] = {"up", "down", "left", "right", "enter"};
    int counts[5] = {};
    int helps = 0;
    for (long ticks = 1;; ++ticks) {
        for (int k = 0; k < 5; ++k) counts[k] += keyPressed(keys[k]) ? 1 : 0;
        if (help && counts[4] > helps) {
            helps = counts[4];
            showHelpFile("probe-help.txt");
            clearScreen();
        }
        std::string line = "ticks=" + std::to_string(ticks);
        for (int k = 0; k < 5; ++k)
            line += " " + std::string(names[k]) + "=" + std::to_string(counts[k]);
        if (help) line += " helps=" + std::to_string(helps);
        sweep(Colour::White);
        putLine(29, line);
        writeCounts(line);
        pauseMs(100);
    }
}

[[noreturn]] void menuLoop() {
    int downs = 0;
    int enterPasses = 0;
    int lastEnterAnswers = 0;
    int together = 0;
    for (long passes = 1;; ++passes) {
        putLine(29, "passes=" + std::to_string(passes) + " downs=" + std::to_string(downs) +
                        " enter-passes=" + std::to_string(enterPasses) + " enter-answers=" +
                        std::to_string(lastEnterAnswers) + " together=" + std::to_string(together));
        gotoXY(8, 8);
        setColor(Colour::Green);
        putText("Selected");
        sweep(Colour::White);

        const bool up = keyPressed(Key::Up);
        const bool down = keyPressed(Key::Down);
        int enterAnswers = 0;
        for (int item = 0; item < 4; ++item) enterAnswers += keyPressed(Key::Enter) ? 1 : 0;
        downs += down ? 1 : 0;
        if (enterAnswers > 0) {
            ++enterPasses;
            lastEnterAnswers = enterAnswers;
        }
        together += down && enterAnswers > 0 ? 1 : 0;
        (void)up;

        // The highlight frame: drawn over the box in Green, blanking the label inside.
        setColor(Colour::Green);
        for (int row = 6; row <= 10; ++row) {
            gotoXY(0, row);
            const bool edge = row == 6 || row == 10;
            putGlyph(edge ? 0xC9 : 0xBA);
            for (int i = 0; i < 24; ++i) putGlyph(edge ? 0xCD : ' ');
            putGlyph(edge ? 0xBB : 0xBA);
        }
    }
}

[[noreturn]] void endLoop() {
    for (long passes = 1;; ++passes) {
        putLine(29, "passes=" + std::to_string(passes));
        sweep(Colour::Yellow);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "keys";
    hideCursor();
    clearScreen();
    if (mode == "menu") menuLoop();
    if (mode == "end") endLoop();
    if (mode == "level") {
        renderMaze();
        pauseMs(200);
        return 0;
    }
    keysLoop(mode == "help");
}
