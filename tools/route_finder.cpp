// Finds a key script for the level by playing the real game headless on the test console.
//
//   route_finder win OUTPUT      a route to the finish through the green, red, yellow, purple,
//                                gray and white doors
//   route_finder caught OUTPUT   the earliest tick at which the player can be caught
//   route_finder tour OUTPUT     a walk that opens every door, stands on the hidden cell, leaves
//                                the maze by the hidden passage and enters the second status box
//
// The game is deterministic, so the search tries every choice of keys on every tick from a saved
// game and keeps, per tick, one state for each player position and set of
// flags: a breadth-first search over ticks, which finds the fewest ticks to each goal. Between
// states that meet, it keeps the one with more score for fewer steps. A win is searched goal by
// goal, each search starting where the last one ended.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "console/headless/test_console.h"
#include "maze/maze_grid.h"
#include "play/game_state.h"
#include "play/play_loop.h"
#include "play/switches.h"
#include "tools/route_finder_script.h"

namespace {

// The keys worth trying on a tick. Opposite keys held together only add steps: the player ends
// where one of them alone, or none, would have left him.
constexpr HeldKeys kChoices[] = {
    0,
    kHoldUp,
    kHoldDown,
    kHoldLeft,
    kHoldRight,
    kHoldUp | kHoldLeft,
    kHoldUp | kHoldRight,
    kHoldDown | kHoldLeft,
    kHoldDown | kHoldRight,
};

struct Goal {
    std::string name;
    std::function<bool(TickOutcome, const GameState&)> reached;
};

std::uint32_t flagBits(const GameState& game) {
    std::uint32_t bits = game.secretPassageOpen ? 1 : 0;
    for (const Door& door : kDoors) bits = bits << 1 | (game.*door.flag ? 1 : 0);
    return bits;
}

std::uint64_t stateKey(const GameState& game) {
    return static_cast<std::uint64_t>(flagBits(game)) << 32 |
           static_cast<std::uint32_t>(game.playerRow * kMazeColumns + game.playerCol);
}

// Keys chosen on one tick and the state of the previous tick they were chosen in.
struct Step {
    int parent;
    HeldKeys keys;
};

struct Segment {
    std::vector<HeldKeys> keys;
    GameState end;
};

// The fewest ticks from `start` to the goal, or no keys at all when it cannot be reached within
// `maxTicks`.
bool searchSegment(const GameState& start, const Goal& goal, int maxTicks, Segment& found) {
    GameState game;
    std::vector<std::vector<Step>> steps{{{-1, 0}}};
    std::vector<GameState> layer{start};
    for (int tick = 1; tick <= maxTicks && !layer.empty(); ++tick) {
        std::vector<GameState> next;
        std::vector<Step> nextSteps;
        std::unordered_map<std::uint64_t, int> seen;
        // The best way to the goal found in this tick, kept apart from the states of the next
        // layer so that the indices of `next` and `nextSteps` stay the same.
        bool reached = false;
        Step bestStep{};
        int bestValue = 0;
        GameState bestEnd;
        for (int from = 0; from < static_cast<int>(layer.size()); ++from) {
            for (const HeldKeys keys : kChoices) {
                game = layer[from];
                holdKeys(keys);
                const TickOutcome outcome = playTick(game);
                testservices::reset();
                const int value = game.score - game.steps;
                if (goal.reached(outcome, game)) {
                    if (!reached || value > bestValue) {
                        reached = true;
                        bestStep = {from, keys};
                        bestValue = value;
                        bestEnd = game;
                    }
                    continue;
                }
                // The banner would cost half a minute of typing on every later tick.
                if (outcome != TickOutcome::Continue || game.bannerActive) continue;
                const auto [it, added] =
                    seen.try_emplace(stateKey(game), static_cast<int>(next.size()));
                if (added) {
                    next.push_back(game);
                    nextSteps.push_back({from, keys});
                } else if (value > next[it->second].score - next[it->second].steps) {
                    next[it->second] = game;
                    nextSteps[it->second] = {from, keys};
                }
            }
        }
        if (reached) {
            found.keys.assign(tick, 0);
            found.keys[tick - 1] = bestStep.keys;
            for (int t = tick - 1, index = bestStep.parent; t >= 1; --t) {
                found.keys[t - 1] = steps[t][index].keys;
                index = steps[t][index].parent;
            }
            found.end = bestEnd;
            return true;
        }
        steps.push_back(std::move(nextSteps));
        layer = std::move(next);
    }
    return false;
}

bool writeScript(const std::string& path, const std::vector<std::string>& header,
                 const std::vector<HeldKeys>& keys,
                 const std::vector<std::pair<int, std::string>>& notes) {
    std::ofstream out(path);
    for (const std::string& line : header) out << "# " << line << '\n';
    std::size_t note = 0;
    for (int tick = 1; tick <= static_cast<int>(keys.size()); ++tick) {
        out << formatHeldKeys(keys[tick - 1]);
        for (; note < notes.size() && notes[note].first == tick; ++note)
            out << "  # tick " << tick << ": " << notes[note].second;
        out << '\n';
    }
    return static_cast<bool>(out);
}

void freshGame(GameState& game) {
    game = GameState{};
    testconsole::reset();
    testservices::reset();
    beginGame(game);
}

// Plays the keys from the start once more, as the tests will, and notes the tick of every door
// that opens, of the hidden cell's discovery and of the end.
std::vector<std::pair<int, std::string>> annotate(const std::vector<HeldKeys>& keys) {
    std::vector<std::pair<int, std::string>> notes;
    GameState game;
    freshGame(game);
    for (int tick = 1; tick <= static_cast<int>(keys.size()); ++tick) {
        const GameState before = game;
        const ScriptReplay replay = replayKeyScript({keys[tick - 1]}, game);
        for (const Door& door : kDoors)
            if (game.*door.flag && !(before.*door.flag))
                notes.emplace_back(tick, std::string(door.name) + " door open");
        if (game.secretPassageOpen && !before.secretPassageOpen)
            notes.emplace_back(tick, "hidden cell found");
        if (replay.outcome == TickOutcome::Won) notes.emplace_back(tick, "finish reached");
        if (replay.outcome == TickOutcome::Caught) notes.emplace_back(tick, "caught");
    }
    return notes;
}

int run(std::span<const Goal> goals, const char* what, const std::string& output) {
    GameState game;
    freshGame(game);
    GameState state = game;

    std::vector<HeldKeys> keys;
    for (const Goal& goal : goals) {
        Segment segment;
        if (!searchSegment(state, goal, 600, segment)) {
            std::fprintf(stderr, "route_finder: no way found to: %s\n", goal.name.c_str());
            return 1;
        }
        keys.insert(keys.end(), segment.keys.begin(), segment.keys.end());
        state = segment.end;
        std::printf("tick %4zu: %s\n", keys.size(), goal.name.c_str());
    }

    const GameState& end = state;
    const int total = end.timeLeft * 10 - end.steps + end.score;
    char summary[160];
    std::snprintf(summary, sizeof summary, "%s at tick %zu: %d steps, score %d, total score %d",
                  what, keys.size(), end.steps, end.score, total);
    const std::vector<std::string> header = {
        "Key script written by tools/route_finder: one line per tick, the arrow keys held",
        "during it (\"-\" for none), played from the start of a game.",
        summary,
    };
    if (!writeScript(output, header, keys, annotate(keys))) {
        std::fprintf(stderr, "route_finder: cannot write %s\n", output.c_str());
        return 1;
    }
    std::printf("%s\n", summary);
    return 0;
}

// Goals for a route.

Goal doorOpen(const char* name) {
    for (const Door& door : kDoors) {
        if (std::strcmp(door.name, name) != 0) continue;
        return {std::string(name) + " door open",
                [flag = door.flag](TickOutcome, const GameState& game) { return game.*flag; }};
    }
    std::fprintf(stderr, "route_finder: no %s door in the door table\n", name);
    std::exit(2);
}

Goal outcome(const char* name, TickOutcome wanted) {
    return {name, [wanted](TickOutcome outcome, const GameState&) { return outcome == wanted; }};
}

Goal standing(const char* name, std::function<bool(int column, int row)> where) {
    return {name, [where](TickOutcome, const GameState& game) {
                return where(game.playerCol, game.playerRow);
            }};
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 3 ? argv[1] : "";
    // The gray door opens on its own once a gray walker gets out through the purple door, and the
    // white switch lies behind it.
    if (mode == "win") {
        const Goal goals[] = {doorOpen("green"),  doorOpen("red"),
                              doorOpen("yellow"), doorOpen("purple"),
                              doorOpen("white"),  outcome("finish reached", TickOutcome::Won)};
        return run(goals, "Won", argv[2]);
    }
    if (mode == "caught") {
        const Goal goals[] = {outcome("caught", TickOutcome::Caught)};
        return run(goals, "Caught", argv[2]);
    }
    if (mode == "tour") {
        const Goal goals[] = {
            doorOpen("green"),
            doorOpen("red"),
            doorOpen("yellow"),
            doorOpen("purple"),
            doorOpen("white"),
            doorOpen("aqua"),
            {"hidden cell found",
             [](TickOutcome, const GameState& game) { return game.secretPassageOpen; }},
            // Beyond the maze's right wall, column 63.
            standing("out of the maze", [](int column, int) { return column > 63; }),
            // Inside the second status box, short of the legend square that starts the banner.
            standing("in the second status box",
                     [](int column, int row) { return row == 8 && column >= 68 && column < 85; }),
        };
        return run(goals, "Toured", argv[2]);
    }
    std::fprintf(stderr, "usage: route_finder win|caught|tour OUTPUT\n");
    return 2;
}
