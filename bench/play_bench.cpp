// Costs of one tick on the test console: the enemy phase alone, and the whole tick with all its
// drawing, on the initial level and on the level after 1,000 ticks with projectiles in flight.
// Every iteration starts from the same saved game; the copy back costs about what the GameCopy
// benchmark shows.
#include <benchmark/benchmark.h>

#include "console/headless/test_console.h"
#include "play/enemies.h"
#include "play/game_state.h"
#include "play/play_loop.h"

namespace {

// A game from its start, the player standing still at the start for `ticks` ticks (no enemy
// reaches him there).
GameState gameAfter(int ticks) {
    GameState game;
    testconsole::reset();
    beginGame(game);
    for (int tick = 0; tick < ticks; ++tick) {
        playTick(game);
        testservices::reset();
    }
    return game;
}

void GameCopy(benchmark::State& state) {
    const GameState saved = gameAfter(0);
    GameState game;
    for (auto _ : state) {
        game = saved;
        benchmark::DoNotOptimize(game);
    }
}

void EnemyPhase(benchmark::State& state) {
    const GameState saved = gameAfter(static_cast<int>(state.range(0)));
    GameState game;
    for (auto _ : state) {
        game = saved;
        moveEnemies(game);
        benchmark::DoNotOptimize(game);
    }
}

void WholeTick(benchmark::State& state) {
    const GameState saved = gameAfter(static_cast<int>(state.range(0)));
    GameState game;
    for (auto _ : state) {
        game = saved;
        playTick(game);
        testservices::reset();
        benchmark::DoNotOptimize(game);
    }
}

}  // namespace

BENCHMARK(GameCopy);
BENCHMARK(EnemyPhase)->ArgName("afterTicks")->Arg(0)->Arg(1000);
BENCHMARK(WholeTick)->ArgName("afterTicks")->Arg(0)->Arg(1000);
