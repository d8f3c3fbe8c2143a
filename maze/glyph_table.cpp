#include "maze/glyph_table.h"

void drawPicture(const char* picture, int rows, int columns, int stride, const GlyphTable& table) {
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            gotoXY(column, row);
            if (const auto look = table.find(picture[row * stride + column])) {
                setColor(look->attr);
                putGlyph(look->glyph);
            }
        }
    }
}
