#include "play/play_loop.h"

#include <cstdint>

#include "console/console_primitives.h"
#include "console/services.h"
#include "maze/maze_renderer.h"
#include "play/banner.h"
#include "play/end_screens.h"
#include "play/enemies.h"
#include "play/movement.h"
#include "play/overlays.h"
#include "play/switches.h"

namespace {

constexpr int kTickPauseMs = 100;

// The clock stops one tick past zero; the count of ticks played stops one past 5000.
constexpr std::int32_t kLastTimeLeftCounted = 0;
constexpr std::int32_t kLastElapsedTickCounted = 5000;

struct StatusLine {
    int column;
    int row;
    const char* text;
    std::int32_t GameState::*counter;  // shown right behind the text, or none
};

// One line in each status box. Nothing clears the cells behind a number, so a number that grows
// shorter leaves the last digits of the longer one standing.
constexpr StatusLine kStatusLines[] = {
    {69, 2, "Glyph Labyrinth", nullptr},    {69, 8, "Player == ", nullptr},
    {69, 14, "Score: ", &GameState::score}, {69, 20, "Time: ", &GameState::timeLeft},
    {69, 26, "Steps: ", &GameState::steps},
};

void countClock(GameState& game) {
    if (game.timeLeft >= kLastTimeLeftCounted) --game.timeLeft;
    if (game.elapsedTicks <= kLastElapsedTickCounted) ++game.elapsedTicks;
}

void drawStatusLines(const GameState& game) {
    for (const StatusLine& line : kStatusLines) {
        setColor(Colour::White);
        gotoXY(line.column, line.row);
        putText(line.text);
        if (line.counter != nullptr) putNumber(game.*line.counter);
    }
}

}  // namespace

void beginGame(const GameState& game) {
    clearScreen();
    dumpMaze(game.grid);
    renderMaze(game.grid);
}

TickOutcome playTick(GameState& game) {
    countClock(game);
    playBackgroundSound(kBackgroundSound);

    // Erase the square of the previous tick, in whatever attribute that tick left.
    gotoXY(game.playerCol, game.playerRow);
    putText(" ");
    if (game.bannerActive) typeBanner();

    // Only the moves can end the game, and nothing more of the tick runs when they do.
    if (const TickOutcome outcome = movePlayer(game); outcome != TickOutcome::Continue)
        return outcome;
    workSwitches(game);
    drawOverlays(game);
    drawStatusLines(game);
    pauseMs(kTickPauseMs);
    moveEnemies(game);
    return TickOutcome::Continue;
}

TickOutcome playLoop(GameState& game) {
    for (;;) {
        if (const TickOutcome outcome = playTick(game); outcome != TickOutcome::Continue)
            return outcome;
    }
}

void startGame(GameState& game) {
    beginGame(game);
    playLoop(game);
    runEndScreen(game);
}
