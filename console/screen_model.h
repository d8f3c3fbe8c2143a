// A model of the console picture: cells holding a code page 437 byte and the attribute it was
// written in, a cursor and the current attribute, with the console's rules for line breaks,
// wrapping and scrolling. The shadow console draws into one and the backends show it; the test
// console is one.
#pragma once

#include <array>
#include <optional>
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

// A rectangle of cells, both corners included.
struct CellArea {
    int left;
    int top;
    int right;
    int bottom;

    friend bool operator==(const CellArea&, const CellArea&) = default;
};

// What a real screen shows of a model, for a backend that sends only the cells that changed.
class ShownScreen {
public:
    // The real screen's contents are unknown (another program drew on it, it was resized): the
    // next update covers every cell.
    void invalidate() { valid_ = false; }

    // Whether any cell may differ from what was shown: cheap, from the model's change count.
    bool outdated(const ScreenModel& model) const {
        return !valid_ || model.changeCount() != modelChanges_;
    }

    // Cell by cell: takes the model's cell as shown, and says whether it differs from what was
    // shown before. Once every cell has been taken, `taken` says so.
    bool take(const ScreenModel& model, int column, int row);
    void taken(const ScreenModel& model) {
        valid_ = true;
        modelChanges_ = model.changeCount();
    }

    // All at once: takes the model's picture as shown and returns the smallest area holding
    // every cell that differs from what was shown before, or nothing when no cell does.
    std::optional<CellArea> update(const ScreenModel& model);

private:
    std::array<ScreenCell, ScreenModel::kColumns * ScreenModel::kRows> cells_{};
    bool valid_ = false;
    unsigned long long modelChanges_ = 0;
};
