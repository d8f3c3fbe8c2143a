#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
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

std::string text(int column, int row, int length) {
    return testconsole::screen().rowText(row).substr(column, length);
}

// One letter per box, heading first: 'w' a whole white double frame, 'G' a green one, else '?'.
std::string boxes() {
    const std::string edge = "\xC9" + std::string(24, '\xCD') + "\xBB\xBA\xBA\xBA\xBA\xBA\xBA\xC8" +
                             std::string(24, '\xCD') + "\xBC";
    std::string letters;
    for (int top = 0; top < kConsoleRows; top += 6) {
        const Colour attr = cell(0, top).attr;
        bool whole = true;
        for (int y = top, i = 0; y <= top + 4; ++y)
            for (int x = 0; x <= 25; x += y % 6 == 0 || y % 6 == 4 ? 1 : 25)
                whole &= cell(x, y) == ScreenCell{static_cast<unsigned char>(edge[i++]), attr};
        letters += !whole ? '?' : attr == Green ? 'G' : attr == White ? 'w' : '?';
    }
    return letters;
}

struct MainMenuTest : ::testing::Test {
    MainMenuTest() { testconsole::reset(), testservices::reset(); }
    // A pass with `keys` just pressed.
    MenuOutcome passWith(Keys keys) {
        menuKeys = {};
        return testconsole::holdOnly(keys), menuPass(selection, menuKeys);
    }
    int moved(int from, Keys keys) { return selection = from, passWith(keys), selection; }
    int selection = 0;
    MenuKeys menuKeys;
};

TEST_F(MainMenuTest, PassDrawsTheMenuAndTheArrowsMoveTheFrameWithinItsLimits) {
    EXPECT_EQ(passWith({Up}), MenuOutcome::KeepShowing);
    EXPECT_EQ(boxes(), "wGwww");  // the heading box is never highlighted
    EXPECT_EQ(text(8, 2, 9) + text(8, 14, 10) + text(8, 20, 11) + text(8, 26, 4),
              "Main MenuAssistanceInformationExit");
    // The face: light, medium and dark shades in light blue, the eyes and the mouth left blank.
    const unsigned char face[][3] = {{44, 16, 0xB0}, {47, 16, 0xB1}, {50, 17, 0xB2}, {65, 16, 0xB0},
                                     {53, 20, 0xB2}, {51, 20, ' '},  {58, 21, ' '},  {52, 24, ' '},
                                     {56, 25, ' '},  {53, 26, 0xB2}};
    for (const auto& [column, row, glyph] : face)
        EXPECT_EQ(cell(column, row), (ScreenCell{glyph, glyph == ' ' ? White : LightBlue}))
            << +column << "," << +row;
    // The title right of the boxes: white full blocks, each run closed by exactly one light shade;
    // "Glyph" in rows 0-6, columns 38-71, "Labyrinth" in rows 8-14, columns 27-93.
    for (int row = 0; row <= 15; ++row) {
        const std::string line = text(26, row, kConsoleColumns - 26);
        const auto first = line.find_first_not_of(' ') + 26, last = line.find_last_not_of(' ') + 26;
        const bool inArea = row <= 6 ? first >= 38 && last <= 71 : first >= 27 && last <= 93;
        EXPECT_TRUE(row % 8 == 7 ? line == std::string(74, ' ') : inArea) << row;
        EXPECT_TRUE(std::regex_match(line, std::regex("( |\xDB+\xB0)*"))) << row;
        for (int column = 26; column < kConsoleColumns; ++column)
            EXPECT_TRUE(line[column - 26] == ' ' || cell(column, row).attr == White);
    }

    // The frame follows the arrows at once, within the limits; Up is taken before Down.
    EXPECT_EQ((std::vector{moved(2, {Down}), moved(3, {Down}), moved(3, {Up, Down}),
                           moved(1, {Up, Down}), moved(0, {Up, Down})}),
              (std::vector{3, 3, 3, 1, 1}));
    // The label was drawn green before the keys moved the frame off it.
    EXPECT_TRUE(boxes() + text(8, 8, 10) == "wwGwwStart game" && cell(8, 8).attr == Green);
}

TEST_F(MainMenuTest, EnterActsOnTheSelectionAfterTheArrows) {
    EXPECT_EQ(passWith({Enter}), MenuOutcome::StartGame);
    // Down and Enter together open "Assistance.txt"; then only the frame shows until the next pass.
    EXPECT_EQ(passWith({Down, Enter}), MenuOutcome::KeepShowing);
    EXPECT_EQ(boxes() + text(8, 2, 9), "??G??" + std::string(9, ' '));
    passWith({Down, Enter});
    EXPECT_EQ(testservices::calls(),
              (std::vector<std::string>{"help Assistance.txt", "help Information.txt"}));
    EXPECT_EXIT(moved(3, {Enter}), ::testing::ExitedWithCode(0), "");
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
    keyboard.press(Enter, 3500, 50), keyboard.press(Enter, 3800, 50);
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
