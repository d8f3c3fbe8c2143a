#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "console/headless/test_console.h"
#include "console/key_state.h"
#include "front/main_menu.h"

namespace {

using enum Key;
using enum Colour;
using Keys = std::initializer_list<Key>;
using testconsole::cell;

// The item box framed in green, by its corners (the frame's whole shape is in the menu's golden
// screen), or -1; -2 for more than one.
int framed() {
    int found = -1;
    for (int item = 0; item < 4; ++item)
        if (cell(0, 6 + 6 * item) == ScreenCell{0xC9, Green} &&
            cell(25, 10 + 6 * item) == ScreenCell{0xBC, Green})
            found = found == -1 ? item : -2;
    return found;
}

struct MainMenuTest : ::testing::Test {
    MainMenuTest() {
        testconsole::reset();
        testservices::reset();
    }
    // A pass from `from` with `keys` just pressed.
    MenuOutcome passWith(Keys keys, int from) {
        selection = from;
        menuKeys = {};
        testconsole::holdOnly(keys);
        return menuPass(selection, menuKeys);
    }
    int selection = 0;
    MenuKeys menuKeys;
};

// What the menu looks like is its golden screen; here, how its keys act. The frame follows the
// arrows at once, within the limits, Up taken before Down; the labels were drawn before the keys
// moved it, the selected one green.
TEST_F(MainMenuTest, TheArrowsMoveTheFrameWithinItsLimits) {
    const struct {
        int from;
        Keys keys;
        int to;
    } moves[] = {{0, {Up}, 0},       {2, {Down}, 3},     {3, {Down}, 3},
                 {3, {Up, Down}, 3}, {1, {Up, Down}, 1}, {0, {Up, Down}, 1}};
    for (const auto& [from, keys, to] : moves) {
        EXPECT_EQ(passWith(keys, from), MenuOutcome::KeepShowing);
        EXPECT_EQ(selection, to) << "from " << from;
        EXPECT_EQ(framed(), to) << "from " << from;
        EXPECT_EQ(cell(8, 8 + 6 * from).attr, Green) << "from " << from;
    }
}

// Down and Enter together open "Assistance.txt"; then only the frame shows until the next pass.
TEST_F(MainMenuTest, EnterActsOnTheSelectionAfterTheArrows) {
    EXPECT_EQ(passWith({Enter}, 0), MenuOutcome::StartGame);
    EXPECT_EQ(passWith({Down, Enter}, 0), MenuOutcome::KeepShowing);
    EXPECT_EQ(framed(), 1);
    EXPECT_EQ(testconsole::screen().rowText(2), std::string(kConsoleColumns, ' '));
    passWith({Down, Enter}, 1);
    EXPECT_EQ(testservices::calls(),
              (std::vector<std::string>{"help Assistance.txt", "help Information.txt"}));
    EXPECT_EXIT(passWith({Enter}, 3), ::testing::ExitedWithCode(0), "");
}

// The keys as the menu's polls see them through the terminal backend's key state: on a terminal
// that reports releases (or a console that knows which keys are down), or on one that sends a
// press and, while the key stays down, its auto-repeat after 500 ms, 30 times a second.
struct Keyboard {
    explicit Keyboard(bool releases) : releases(releases) {
        state.setReleasesReported(releases, releases);
    }
    bool releases;
    KeyState state;
    std::vector<std::tuple<long long, Key, KeyAction>> events;

    void press(Key key, long long atMs, long long lengthMs) {
        events.emplace_back(atMs, key, KeyAction::Press);
        if (releases) events.emplace_back(atMs + lengthMs, key, KeyAction::Release);
        for (long long t = atMs + 500; !releases && t < atMs + lengthMs; t += 33)
            events.emplace_back(t, key, KeyAction::Press);
        std::ranges::sort(events);
    }
    bool poll(Key key, long long nowMs) {
        while (!events.empty() && std::get<0>(events.front()) <= nowMs) {
            const auto [at, which, action] = events.front();
            state.apply(which, action, at);
            events.erase(events.begin());
        }
        return state.query(key, nowMs);
    }
};

// The menu at one of several pass rates: keys pressed on `keyboard`, passes until `untilMs`;
// returns the time of every move of the selection.
struct MenuPaceTest : MainMenuTest, ::testing::WithParamInterface<std::tuple<bool, int>> {
    Keyboard keyboard{std::get<0>(GetParam())};
    const int passMs = std::get<1>(GetParam());

    std::vector<long long> movesUntil(long long untilMs) {
        std::vector<long long> moves;
        for (long long t = testconsole::clockMs(); t < untilMs; t += passMs) {
            testconsole::advance(t - testconsole::clockMs());
            for (const Key key : {Up, Down, Enter})
                testconsole::script(key, {keyboard.poll(key, t)});
            const int before = selection;
            menuPass(selection, menuKeys);
            if (selection != before) moves.push_back(t);
        }
        return moves;
    }
};

TEST_P(MenuPaceTest, EveryTapMovesOneItemAndAHoldRepeatsAtTheMenusOwnRhythm) {
    for (const long long tapMs : {10, 50, 150, 300}) {
        selection = 1;
        keyboard.press(Down, testconsole::clockMs() + 100, tapMs);
        EXPECT_EQ(movesUntil(testconsole::clockMs() + 1500).size(), 1u) << tapMs << " ms";
    }
    // Quick taps each move, however quickly they follow one another.
    selection = 0;
    for (const long long at : {100, 190, 280})
        keyboard.press(Down, testconsole::clockMs() + at, 30);
    EXPECT_EQ(movesUntil(testconsole::clockMs() + 1500).size(), 3u);
    // Down held for 1.5 s from "Start game": the end of the menu after two repeats, the first
    // after about 0.45 s, the next about a ninth of a second later.
    selection = 0;
    const long long start = testconsole::clockMs() + 100;
    keyboard.press(Down, start, 1500);
    const std::vector<long long> moves = movesUntil(start + 1500);
    ASSERT_EQ(moves.size(), 3u);
    EXPECT_LE(moves[0] - start, passMs);
    EXPECT_TRUE(moves[1] - moves[0] >= 400 && moves[1] - moves[0] <= 600) << moves[1] - moves[0];
    EXPECT_TRUE(moves[2] - moves[1] >= 80 && moves[2] - moves[1] <= 170) << moves[2] - moves[1];

    // Up held runs back to the top just the same.
    keyboard.press(Up, start + 2000, 1500);
    EXPECT_EQ(movesUntil(start + 3500).size(), 3u);
    EXPECT_EQ(selection, kStartGameItem);
}

TEST_P(MenuPaceTest, EnterActsOncePerPress) {
    // A tap still down when the help file has been shown (here at once) does not show it again;
    // nor, where releases are reported, does a long hold.
    selection = kAssistanceItem;
    keyboard.press(Enter, 100, 150);
    if (keyboard.releases) keyboard.press(Enter, 1000, 2000);
    movesUntil(3500);
    EXPECT_EQ(testservices::calls().size(), keyboard.releases ? 2u : 1u);
    // Two taps a third of a second apart are two presses, even where the second might have been
    // the first auto-repeat of a held key.
    testservices::reset();
    keyboard.press(Enter, 3500, 50);
    keyboard.press(Enter, 3800, 50);
    movesUntil(4500);
    EXPECT_EQ(testservices::calls().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Keyboards, MenuPaceTest,
                         ::testing::Combine(::testing::Bool(), ::testing::Values(4, 16, 50)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) ? "Releases"
                                                                        : "AutoRepeatOnly") +
                                    "Pass" + std::to_string(std::get<1>(info.param)) + "ms";
                         });

}  // namespace
