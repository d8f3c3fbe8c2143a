#include "console/headless/test_console.h"

#include <array>
#include <deque>
#include <string>

#include "console/services.h"

namespace {

struct KeyState {
    bool held = false;
    std::deque<bool> scripted;
    int queries = 0;
};

struct TestConsole {
    ScreenModel screen;
    long long clockMs = 0;
    bool cursorHidden = false;
    int clears = 0;
    std::array<KeyState, 256> keys{};
};

TestConsole console;
std::vector<std::string> serviceCalls;

KeyState& stateOf(Key key) {
    return console.keys[static_cast<unsigned char>(key)];
}

}  // namespace

ConsoleHandle consoleOut = &console;

void gotoXY(int column, int row) {
    console.screen.moveTo(column, row);
}
void setColor(Colour attribute) {
    console.screen.setAttr(attribute);
}

void clearScreen() {
    console.screen.clear();
    ++console.clears;
}

void putGlyph(unsigned char code) {
    console.screen.write(code);
}
void putText(const char* text) {
    console.screen.write(text);
}
void putNumber(std::int32_t value) {
    console.screen.write(std::to_string(value));
}

void typeText(const char* text) {
    for (const char* c = text; *c != '\0'; ++c) {
        console.screen.write(static_cast<unsigned char>(*c));
        console.screen.write(0xDB);
        console.clockMs += 10;
        console.screen.write("\b \b");
    }
}

void hideCursor() {
    console.cursorHidden = true;
}
void pauseMs(int ms) {
    console.clockMs += ms;
}

long long monotonicMs() {
    return console.clockMs;
}

bool keyPressed(Key key) {
    KeyState& state = stateOf(key);
    ++state.queries;
    if (!state.scripted.empty()) {
        const bool answer = state.scripted.front();
        state.scripted.pop_front();
        return answer;
    }
    return state.held;
}

void playBackgroundSound(const char* path) {
    serviceCalls.push_back(std::string("play ") + path);
}
void stopSound() {
    serviceCalls.emplace_back("stop");
}
// Headless, nothing is looked for: a name stays as the game gave it.
std::string dataFilePath(const char* path) {
    return path;
}
void showHelpFile(const char* fileName) {
    serviceCalls.push_back(std::string("help ") + fileName);
}

namespace testconsole {

void reset() {
    console = TestConsole{};
}
const ScreenModel& screen() {
    return console.screen;
}
const ScreenCell& cell(int column, int row) {
    return console.screen.at(column, row);
}
long long clockMs() {
    return console.clockMs;
}
void advance(long long ms) {
    console.clockMs += ms;
}
bool cursorHidden() {
    return console.cursorHidden;
}
int clearCount() {
    return console.clears;
}

void hold(Key key) {
    stateOf(key).held = true;
}

void releaseAll() {
    for (KeyState& state : console.keys) state.held = false;
}

void holdOnly(std::initializer_list<Key> keys) {
    releaseAll();
    for (const Key key : keys) hold(key);
}

void script(Key key, std::vector<bool> answers) {
    stateOf(key).scripted.assign(answers.begin(), answers.end());
}

int queryCount(Key key) {
    return stateOf(key).queries;
}

}  // namespace testconsole

namespace testservices {
void reset() {
    serviceCalls.clear();
}
const std::vector<std::string>& calls() {
    return serviceCalls;
}
}  // namespace testservices
