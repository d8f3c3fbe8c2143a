#include "tools/route_finder_script.h"

#include <fstream>
#include <sstream>

#include "console/console_primitives.h"
#include "console/headless/test_console.h"

namespace {

struct KeyName {
    HeldKeys bit;
    const char* name;
    Key key;
};

constexpr KeyName kKeyNames[] = {
    {kHoldUp, "up", Key::Up},
    {kHoldDown, "down", Key::Down},
    {kHoldLeft, "left", Key::Left},
    {kHoldRight, "right", Key::Right},
};

}  // namespace

std::optional<std::vector<HeldKeys>> parseKeyScript(std::istream& in) {
    std::vector<HeldKeys> script;
    std::string line;
    while (std::getline(in, line)) {
        if (const auto comment = line.find('#'); comment != std::string::npos) line.resize(comment);
        std::istringstream words(line);
        std::string word;
        bool tick = false;
        HeldKeys keys = 0;
        while (words >> word) {
            tick = true;
            if (word == "-") continue;
            bool known = false;
            for (const KeyName& name : kKeyNames) {
                if (word == name.name) {
                    keys |= name.bit;
                    known = true;
                }
            }
            if (!known) return std::nullopt;
        }
        if (tick) script.push_back(keys);
    }
    return script;
}

std::optional<std::vector<HeldKeys>> readKeyScript(const std::string& path) {
    std::ifstream in(path);
    if (!in) return std::nullopt;
    return parseKeyScript(in);
}

std::string formatHeldKeys(HeldKeys keys) {
    std::string line;
    for (const KeyName& name : kKeyNames) {
        if ((keys & name.bit) == 0) continue;
        if (!line.empty()) line += ' ';
        line += name.name;
    }
    return line.empty() ? "-" : line;
}

void holdKeys(HeldKeys keys) {
    testconsole::releaseAll();
    for (const KeyName& name : kKeyNames)
        if ((keys & name.bit) != 0) testconsole::hold(name.key);
}

ScriptReplay replayKeyScript(const std::vector<HeldKeys>& script, GameState& game) {
    ScriptReplay replay;
    for (const HeldKeys keys : script) {
        holdKeys(keys);
        replay.outcome = playTick(game);
        ++replay.ticks;
        replay.restCells.emplace_back(game.playerCol, game.playerRow);
        testservices::reset();  // the sound requests of a long game would only pile up
        if (replay.outcome != TickOutcome::Continue) break;
    }
    return replay;
}
