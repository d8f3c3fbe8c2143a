#include "play/overlays.h"

#include <array>

#include "console/console_primitives.h"
#include "maze/maze_renderer.h"
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

void drawMark(const Mark& mark) {
    gotoXY(mark.column, mark.row);
    setColor(mark.colour);
    putGlyph(mark.glyph);
}

// A gate shows as the wall it stands in: upright between wall pieces above and below, lying
// across otherwise. The renderer leaves gates blank, so the first tick's masks draw them.
constexpr bool isWallPiece(char code) {
    return code != Cell::Floor && code != Cell::Dot && mazeGlyph(code).has_value();
}

constexpr GlyphLook gateLook(CellPos cell) {
    const bool upright = cell.row > 0 && cell.row + 1 < kMazeRows &&
                         isWallPiece(kLevel[cell.row - 1][cell.column]) &&
                         isWallPiece(kLevel[cell.row + 1][cell.column]);
    return {static_cast<unsigned char>(upright ? 0xBA : 0xCD), Colour::Blue};
}

// The hidden cells of the level, drawn as the wall or box side they hide in. A player who leaves
// one of these cells blanks it; the masks paint it back on the same tick. That holds for the
// hidden cell in the left wall too, or a player who has stood there would leave a hole in the
// maze's wall behind him; it keeps the look its door's opening gave it.
struct PassageMask {
    Mark mark;
    bool GameState::*revealedBy;  // the flag of the door that reveals the cell, or none
};

constexpr auto kPassageMasks = [] {
    std::array<PassageMask, kHiddenCells.size()> masks{};
    for (std::size_t i = 0; i < masks.size(); ++i) {
        const CellPos cell = kHiddenCells[i];
        const char code = kLevel[cell.row][cell.column];
        const GlyphLook look = code == Cell::OneWayGate ? gateLook(cell) : *mazeGlyph(code);
        masks[i].mark = {cell.column, cell.row, look.glyph, look.attr};
        for (const Door& door : kDoors)
            if (door.reveals == code) masks[i].revealedBy = door.flag;
    }
    return masks;
}();

void drawMask(const PassageMask& mask, const GameState& game) {
    if (mask.revealedBy != nullptr && game.*mask.revealedBy) {
        drawMark({mask.mark.column, mask.mark.row, kRevealedLook.glyph, kRevealedLook.attr});
    } else {
        drawMark(mask.mark);
    }
}

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

constexpr Mark kLegendSquareMark = {kLegendSquare.column, kLegendSquare.row, kPlayerSquare,
                                    Colour::Aqua};

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
        gotoXY(door.switchCell.column, door.switchCell.row);
        setColor(door.colour);
        putText("o");
    }
}

}  // namespace

void drawOverlays(const GameState& game) {
    for (const PassageMask& mask : kPassageMasks) drawMask(mask, game);
    drawGlow();
    if (game.secretPassageOpen) drawEmblem();
    drawMark({game.playerCol, game.playerRow, kPlayerSquare, Colour::Aqua});
    setColor(Colour::White);
    drawMark(kLegendSquareMark);
    drawSwitchCircles();
    setColor(Colour::White);
}
