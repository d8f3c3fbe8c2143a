#include "play/overlays.h"
#include "tests/support/play_fixture.h"

namespace {

constexpr unsigned char kSquare = 0xFE;
constexpr unsigned char kFullBlock = 0xDB;

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
                count +=
                    shown(column, row).glyph == kFullBlock && shown(column, row).attr == colour;
        return count;
    }
};

TEST_F(OverlaysTest, FirstTickMasksTheGatesAndDrawsGlowPlayerLegendAndCircles) {
    beginGame();
    EXPECT_EQ(shown(18, 11).glyph, ' ');  // the renderer leaves the gates blank
    drawOverlays(game);

    expectShown(18, 11, 0xCD, Colour::Blue);
    expectShown(18, 19, 0xCD, Colour::Blue);
    expectShown(34, 14, 0xBA, Colour::Blue);
    expectShown(63, 1, 0xBA, Colour::Blue);
    expectShown(85, 8, 0xBA, Colour::White);
    const unsigned char glow[] = {0xDB, 0xB2, 0xB2, 0xB1, 0xB1, 0xB0, 0xB0};
    for (int row = 20; row <= 22; ++row)
        for (int i = 0; i < 7; ++i) expectShown(2 + i, row, glow[i], Colour::Purple);
    expectShown(4, 2, kSquare, Colour::Aqua);
    expectShown(79, 8, kSquare, Colour::Aqua);

    const struct {
        int column, row;
        Colour colour;
    } circles[] = {{25, 17, Colour::Gray},  {4, 17, Colour::Purple}, {2, 6, Colour::Green},
                   {17, 21, Colour::White}, {31, 13, Colour::Red},   {40, 13, Colour::Yellow},
                   {36, 13, Colour::Aqua}};
    for (const auto& circle : circles) expectShown(circle.column, circle.row, 'o', circle.colour);

    EXPECT_EQ(emblemBlocks(Colour::LightBlue) + emblemBlocks(Colour::Yellow), 0);
    EXPECT_EQ(testconsole::screen().attr(), Colour::White);
}

TEST_F(OverlaysTest, EmblemShowsOnceTheHiddenCellIsReachedWithThePlayerOnTop) {
    game.secretPassageOpen = true;
    placePlayer(88, 14);
    drawOverlays(game);
    EXPECT_EQ(emblemBlocks(Colour::LightBlue), 84);
    EXPECT_EQ(emblemBlocks(Colour::Yellow), 60);  // one Yellow cell lies under the player
    expectShown(88, 14, kSquare, Colour::Aqua);
    expectShown(87, 13, kFullBlock, Colour::LightBlue);
    expectShown(92, 26, kFullBlock, Colour::Yellow);
    expectShown(91, 27, kFullBlock, Colour::LightBlue);
    EXPECT_EQ(shown(90, 27).glyph, ' ');
}

TEST_F(OverlaysTest, HiddenPassageIsPaintedBackAsWallWhenThePlayerLeavesIt) {
    beginGame();
    game.secretPassageOpen = true;
    placePlayer(63, 1);
    tickHolding({});
    expectShown(63, 1, kSquare, Colour::Aqua);
    tickHolding({Key::Left});
    expectShown(63, 1, 0xBA, Colour::Blue);
    expectShown(62, 1, kSquare, Colour::Aqua);
}

}  // namespace
