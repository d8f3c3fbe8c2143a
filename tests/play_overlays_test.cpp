#include "play/overlays.h"
#include "tests/support/play_fixture.h"

namespace {

class OverlaysTest : public PlayTest {
  protected:
    static void expectShown(int column, int row, unsigned char glyph, Colour colour) {
        EXPECT_EQ(shown(column, row).glyph, glyph) << column << "," << row;
        EXPECT_EQ(shown(column, row).attr, colour) << column << "," << row;
    }

    // How many cells of the emblem's area show a full block in this colour.
    static int emblemBlocks(Colour colour) {
        int count = 0;
        for (int row = 13; row <= 27; ++row)
            for (int column = 87; column <= 97; ++column)
                count += shown(column, row).glyph == 0xDB && shown(column, row).attr == colour;
        return count;
    }
};

TEST_F(OverlaysTest, MasksGlowPlayerLegendAndCirclesInOrderButNoEmblemYet) {
    placePlayer(2, 6);  // on the green switch: its circle covers the square
    drawOverlays(game);
    expectShown(18, 11, 0xCD, Colour::Blue);
    expectShown(34, 14, 0xBA, Colour::Blue);
    expectShown(85, 8, 0xBA, Colour::White);
    const unsigned char glow[] = {0xDB, 0xB2, 0xB2, 0xB1, 0xB1, 0xB0, 0xB0};
    for (int i = 0; i < 7; ++i) expectShown(2 + i, 22, glow[i], Colour::Purple);
    expectShown(79, 8, 0xFE, Colour::Aqua);
    expectShown(2, 6, 'o', Colour::Green);
    expectShown(25, 17, 'o', Colour::Gray);
    expectShown(36, 13, 'o', Colour::Aqua);
    EXPECT_EQ(emblemBlocks(Colour::LightBlue) + emblemBlocks(Colour::Yellow), 0);
    EXPECT_EQ(testconsole::screen().attr(), Colour::White);
}

TEST_F(OverlaysTest, EmblemShowsOnceTheHiddenCellIsReachedWithThePlayerOnTop) {
    game.secretPassageOpen = true;
    placePlayer(88, 14);
    drawOverlays(game);
    EXPECT_EQ(emblemBlocks(Colour::LightBlue), 84);
    EXPECT_EQ(emblemBlocks(Colour::Yellow), 60);  // one Yellow cell lies under the player
    expectShown(88, 14, 0xFE, Colour::Aqua);
    expectShown(91, 27, 0xDB, Colour::LightBlue);
    EXPECT_EQ(shown(90, 27).glyph, ' ');
}

}  // namespace
