#include "play/overlays.h"

#include "console/console_primitives.h"
#include "play/switches.h"

namespace {

struct Mark {
    int column;
    int row;
    unsigned char glyph;
    Colour colour;
};

constexpr unsigned char kPlayerSquare = 0xFE;
constexpr unsigned char kFullBlock = 0xDB;

// The gates and hidden passages, drawn as the wall or box side they hide in. The renderer leaves
// the gates blank, and a player who leaves one of these cells blanks it; this paints them back.
constexpr Mark kPassageMasks[] = {
    {18, 11, 0xCD, Colour::Blue}, {18, 19, 0xCD, Colour::Blue}, {63, 1, 0xBA, Colour::Blue},
    {34, 14, 0xBA, Colour::Blue}, {85, 8, 0xBA, Colour::White},
};

// The glow on the floor east of the finish: it fades from full block to light shade.
constexpr int kGlowColumn = 2;
constexpr int kGlowRows[] = {20, 21, 22};
constexpr unsigned char kGlowGlyphs[] = {0xDB, 0xB2, 0xB2, 0xB1, 0xB1, 0xB0, 0xB0};

// The shield emblem on the open floor right of the status boxes, as it stands on screen from
// column 87, row 13: B a Light Blue block, Y a Yellow one, spaces not drawn.
constexpr int kEmblemColumn = 87;
constexpr int kEmblemRow = 13;
// clang-format off
constexpr const char* kEmblem[] = {
    "BBBBBBBBBBB",
    "BYBBBYBBBYB",
    "BYYBBYBBYYB",
    "BYBYBYBYBYB",
    "BYBYBYBYBYB",
    "BYBYBYBYBYB",
    "BYBYBYBYBYB",
    "BYBYBYBYBYB",
    "BYYBBYBBYYB",
    "BYYBYYYBYYB",
    "BYYYYYYYYYB",
    " BBYBYBYBB",
    "  BBYYYBB",
    "   BBYBB",
    "    BBB",
};
// clang-format on

constexpr Mark kLegendSquare = {79, 8, kPlayerSquare, Colour::Aqua};

void drawMark(const Mark& mark) {
    gotoXY(mark.column, mark.row);
    setColor(mark.colour);
    putGlyph(mark.glyph);
}

void drawGlow() {
    for (const int row : kGlowRows) {
        gotoXY(kGlowColumn, row);
        for (const unsigned char glyph : kGlowGlyphs) {
            setColor(Colour::Purple);
            putGlyph(glyph);
        }
    }
}

void drawEmblem() {
    int row = kEmblemRow;
    for (const char* line : kEmblem) {
        int column = 0;
        while (line[column] == ' ') ++column;
        gotoXY(kEmblemColumn + column, row++);
        for (; line[column] != '\0'; ++column) {
            setColor(line[column] == 'Y' ? Colour::Yellow : Colour::LightBlue);
            putGlyph(kFullBlock);
        }
    }
}

// A player standing on a switch shows as its circle, since the circles come after the square.
void drawSwitchCircles() {
    for (const Door& door : kDoors) {
        gotoXY(door.switchColumn, door.switchRow);
        setColor(door.colour);
        putText("o");
    }
}

}  // namespace

void drawOverlays(const GameState& game) {
    for (const Mark& mask : kPassageMasks) drawMark(mask);
    drawGlow();
    if (game.secretPassageOpen) drawEmblem();
    drawMark({game.playerCol, game.playerRow, kPlayerSquare, Colour::Aqua});
    setColor(Colour::White);
    drawMark(kLegendSquare);
    drawSwitchCircles();
    setColor(Colour::White);
}
