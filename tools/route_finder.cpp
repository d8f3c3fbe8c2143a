// Finds a key script for the level by playing the real game headless on the test console.
//
//   route_finder win OUTPUT      a route to the finish through the green, red, yellow, purple,
//                                gray and white doors
//   route_finder caught OUTPUT   the earliest tick at which the player can be caught
//
// The game is deterministic, so the search tries every choice of keys on every tick from a saved
// game and keeps, per tick, one state for each player position and set of
// flags: a breadth-first search over ticks, which finds the fewest ticks to each goal. Between
// states that meet, it keeps the one with more score for fewer steps. A win is searched goal by
// goal, each search starting where the last one ended.
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "console/headless/test_console.h"
#include "maze/maze_grid.h"
#include "play/game_state.h"
#include "play/play_loop.h"
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
    const char* name;
    std::function<bool(TickOutcome, const GameState&)> reached;
};

std::uint32_t flagBits(const GameState& game) {
    const bool flags[] = {game.greenDoorOpen, game.redDoorOpen,      game.yellowDoorOpen,
                          game.aquaDoorOpen,  game.purpleDoorOpen,   game.grayDoorOpen,
                          game.whiteDoorOpen, game.secretPassageOpen};
    std::uint32_t bits = 0;
    for (const bool flag : flags) bits = bits << 1 | (flag ? 1 : 0);
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
        int best = -1;
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
                    if (best < 0 || value > bestValue) {
                        best = static_cast<int>(nextSteps.size());
                        bestValue = value;
                        bestEnd = game;
                        nextSteps.push_back({from, keys});
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
                    // Goal steps are appended after states, so an index found in `seen` is
                    // still the state's own.
                    nextSteps[it->second] = {from, keys};
                }
            }
        }
        steps.push_back(std::move(nextSteps));
        if (best >= 0) {
            found.keys.assign(tick, 0);
            for (int t = tick, index = best; t >= 1; --t) {
                found.keys[t - 1] = steps[t][index].keys;
                index = steps[t][index].parent;
            }
            found.end = bestEnd;
            return true;
        }
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

struct DoorName {
    bool GameState::*flag;
    const char* name;
};

constexpr DoorName kDoorNames[] = {
    {&GameState::greenDoorOpen, "green door open"},   {&GameState::redDoorOpen, "red door open"},
    {&GameState::yellowDoorOpen, "yellow door open"}, {&GameState::aquaDoorOpen, "aqua door open"},
    {&GameState::purpleDoorOpen, "purple door open"}, {&GameState::grayDoorOpen, "gray door open"},
    {&GameState::whiteDoorOpen, "white door open"},
};

void freshGame(GameState& game) {
    game = GameState{};
    testconsole::reset();
    testservices::reset();
    beginGame(game);
}

// Plays the keys from the start once more, as the tests will, and notes the tick of every door
// that opens and of the end.
std::vector<std::pair<int, std::string>> annotate(const std::vector<HeldKeys>& keys) {
    std::vector<std::pair<int, std::string>> notes;
    GameState game;
    freshGame(game);
    for (int tick = 1; tick <= static_cast<int>(keys.size()); ++tick) {
        const GameState before = game;
        const ScriptReplay replay = replayKeyScript({keys[tick - 1]}, game);
        for (const DoorName& door : kDoorNames)
            if (game.*door.flag && !(before.*door.flag)) notes.emplace_back(tick, door.name);
        if (replay.outcome == TickOutcome::Won) notes.emplace_back(tick, "finish reached");
        if (replay.outcome == TickOutcome::Caught) notes.emplace_back(tick, "caught");
    }
    return notes;
}

int run(const std::vector<Goal>& goals, const char* what, const std::string& output) {
    GameState game;
    freshGame(game);
    GameState state = game;

    std::vector<HeldKeys> keys;
    for (const Goal& goal : goals) {
        Segment segment;
        if (!searchSegment(state, goal, 600, segment)) {
            std::fprintf(stderr, "route_finder: no way found to: %s\n", goal.name);
            return 1;
        }
        keys.insert(keys.end(), segment.keys.begin(), segment.keys.end());
        state = segment.end;
        std::printf("tick %4zu: %s\n", keys.size(), goal.name);
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

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 3 ? argv[1] : "";
    if (mode == "win") {
        const auto flag = [](bool GameState::*door) {
            return [door](TickOutcome, const GameState& game) { return game.*door; };
        };
        return run(
            {{"green door open", flag(&GameState::greenDoorOpen)},
             {"red door open", flag(&GameState::redDoorOpen)},
             {"yellow door open", flag(&GameState::yellowDoorOpen)},
             {"purple door open", flag(&GameState::purpleDoorOpen)},
             // The gray door opens on its own once a gray walker gets out, and the
             // white switch lies behind it.
             {"white door open", flag(&GameState::whiteDoorOpen)},
             {"finish reached",
              [](TickOutcome outcome, const GameState&) { return outcome == TickOutcome::Won; }}},
            "Won", argv[2]);
    }
    if (mode == "caught") {
        return run({{"caught", [](TickOutcome outcome,
                                  const GameState&) { return outcome == TickOutcome::Caught; }}},
                   "Caught", argv[2]);
    }
    std::fprintf(stderr, "usage: route_finder win|caught OUTPUT\n");
    return 2;
}
