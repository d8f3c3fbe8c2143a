#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "console/headless/test_console.h"
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
    MenuOutcome passWith(Keys keys) { return testconsole::holdOnly(keys), menuPass(selection); }
    int moved(int from, Keys keys) { return selection = from, passWith(keys), selection; }
    int selection = 0;
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

}  // namespace
