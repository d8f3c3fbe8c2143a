#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "play/banner.h"
#include "tests/support/test_console.h"

namespace {

std::string lineOf(int index) {
    return kBanner[index];
}

TEST(Banner, ThirtyNineLinesOfSeventyOneCharactersAndABreak) {
    for (int i = 0; i < kBannerLines; ++i) {
        const std::string line = lineOf(i);
        ASSERT_EQ(line.size(), 72u) << i;
        EXPECT_EQ(line.back(), '\n') << i;
        EXPECT_EQ(line.find('\n'), 71u) << i;
    }
    for (const int separator : {0, 7, 14, 21})
        EXPECT_EQ(lineOf(separator), std::string(71, ' ') + "\n");
}

TEST(Banner, ThreeBlocksOfLettersAndAHeart) {
    size_t widest = 0;
    for (const int first : {1, 8, 15}) {
        for (int i = first; i < first + 6; ++i) {
            const std::string line = lineOf(i).substr(0, 71);
            EXPECT_EQ(line.find_first_not_of("# "), std::string::npos) << i;
            EXPECT_LE(line.find('#'), 2u) << "block row " << i << " starts too far right";
            widest = std::max(widest, line.find_last_of('#') + 1);
        }
    }
    EXPECT_LE(widest, 53u);
    for (int i = 22; i < kBannerLines; ++i) {
        const std::string line = lineOf(i).substr(0, 71);
        EXPECT_EQ(
            line.find_last_not_of(' ') < 35 || line.find_last_not_of(' ') == std::string::npos,
            true)
            << i;
        for (const char c : line)
            EXPECT_TRUE(c == ' ' || std::isgraph(static_cast<unsigned char>(c))) << i;
        EXPECT_EQ(line.find('#'), std::string::npos) << i;
    }
}

TEST(Banner, TypingItTakesTenMillisecondsALetterAndRunsOnFromTheCursor) {
    testconsole::reset();
    setColor(Colour::Aqua);
    gotoXY(80, 8);
    typeBanner();
    EXPECT_EQ(testconsole::clockMs(), 39 * 72 * 10);
    // The first line starts beside the cursor and wraps; 39 lines from row 8 scroll the screen,
    // so the last line of the heart ends up on the bottom row but one, the cursor below it.
    EXPECT_EQ(testconsole::screen().cursorRow(), 29);
    EXPECT_EQ(testconsole::screen().cursorColumn(), 0);
    EXPECT_EQ(testconsole::screen().rowText(28).substr(0, 71), lineOf(38).substr(0, 71));
    EXPECT_EQ(testconsole::cell(20, 26).attr, Colour::Aqua);
    for (int row = 0; row < kConsoleRows; ++row)
        EXPECT_EQ(testconsole::screen().rowText(row).find('\xDB'), std::string::npos) << row;
}

}  // namespace
