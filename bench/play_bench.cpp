// Costs of one tick on the test console: the enemy phase alone, and the whole tick with all its
// drawing, on the initial level and on the level after 1,000 ticks with projectiles in flight.
// Every iteration starts from the same saved state; the copy back costs about what the
// GridRestore benchmark shows.
#include <benchmark/benchmark.h>

#include <cstring>

#include "maze/maze_grid.h"
#include "play/enemies.h"
#include "play/game_state.h"
#include "play/play_loop.h"
#include "console/headless/test_console.h"

namespace {

struct Saved {
    char grid[kMazeRows][kMazeColumns];
    GameState game;
};

// A game from its start, the player standing still at the start for `ticks` ticks (no enemy
// reaches him there).
Saved gameAfter(int ticks) {
    resetMazeGrid();
    testconsole::reset();
    beginGame();
    Saved saved{};
    for (int tick = 0; tick < ticks; ++tick) {
        playTick(saved.game);
        testservices::reset();
    }
    std::memcpy(saved.grid, mazeGrid, sizeof mazeGrid);
    return saved;
}

void restore(const Saved& saved, GameState& game) {
    std::memcpy(mazeGrid, saved.grid, sizeof mazeGrid);
    game = saved.game;
}

void GridRestore(benchmark::State& state) {
    const Saved saved = gameAfter(0);
    GameState game;
    for (auto _ : state) {
        restore(saved, game);
        benchmark::DoNotOptimize(mazeGrid);
    }
}

void EnemyPhase(benchmark::State& state) {
    const Saved saved = gameAfter(static_cast<int>(state.range(0)));
    GameState game;
    for (auto _ : state) {
        restore(saved, game);
        moveEnemies(game);
        benchmark::DoNotOptimize(mazeGrid);
    }
}

void WholeTick(benchmark::State& state) {
    const Saved saved = gameAfter(static_cast<int>(state.range(0)));
    GameState game;
    for (auto _ : state) {
        restore(saved, game);
        playTick(game);
        testservices::reset();
        benchmark::DoNotOptimize(mazeGrid);
    }
}

}  // namespace

BENCHMARK(GridRestore);
BENCHMARK(EnemyPhase)->ArgName("afterTicks")->Arg(0)->Arg(1000);
BENCHMARK(WholeTick)->ArgName("afterTicks")->Arg(0)->Arg(1000);
