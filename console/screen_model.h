// A model of the console picture: cells holding a code page 437 byte and the attribute it was
// written in, a cursor and the current attribute, with the console's rules for line breaks,
// wrapping and scrolling. The terminal backend keeps one as its shadow screen; the test console
// is one.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "console/console_primitives.h"

struct ScreenCell {
    unsigned char glyph = ' ';
    Colour attr = Colour::White;

    friend bool operator==(const ScreenCell&, const ScreenCell&) = default;
};

class ScreenModel {
public:
    static constexpr int kColumns = kConsoleColumns;
    static constexpr int kRows = kConsoleRows;

    // Blanks every cell in the current attribute and puts the cursor at (0, 0).
    void clear();

    // Moves the cursor; a position outside the console is ignored, as the console does.
    void moveTo(int column, int row);

    void setAttr(Colour attr) { attr_ = attr; }
    Colour attr() const { return attr_; }

    // Writes one byte at the cursor. "\n" goes to column 0 of the next row, "\r" to column 0,
    // backspace one column left (from column 0 to
    // the end of the row above); every other byte is stored as a glyph.
    void write(unsigned char byte);
    void write(std::string_view text);

    const ScreenCell& at(int column, int row) const { return cells_[index(column, row)]; }
    int cursorColumn() const { return column_; }
    int cursorRow() const { return row_; }

    // The glyph bytes of one row, for tests and messages.
    std::string rowText(int row) const;

    // Counts every change of the picture (cell contents, clearing, scrolling), so a presenter can
    // tell cheaply whether anything may have changed since it last looked.
    unsigned long long changeCount() const { return changes_; }

private:
    static int index(int column, int row) { return row * kColumns + column; }
    void newLine();
    void scrollUp();

    std::array<ScreenCell, kColumns * kRows> cells_{};
    int column_ = 0;
    int row_ = 0;
    Colour attr_ = Colour::White;
    unsigned long long changes_ = 0;
};
