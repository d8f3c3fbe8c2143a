#include "console/screen_model.h"

#include <algorithm>

void ScreenModel::clear() {
    cells_.fill(ScreenCell{' ', attr_});
    column_ = 0;
    row_ = 0;
    ++changes_;
}

void ScreenModel::moveTo(int column, int row) {
    if (column < 0 || column >= kColumns || row < 0 || row >= kRows) return;
    column_ = column;
    row_ = row;
}

void ScreenModel::write(unsigned char byte) {
    switch (byte) {
        case '\n':
            newLine();
            return;
        case '\r':
            column_ = 0;
            return;
        case '\b':
            // Backspace at the start of a row goes back over the wrap to the end of the row above,
            // so the typewriter can erase a block that wrapped there.
            if (column_ > 0) {
                --column_;
            } else if (row_ > 0) {
                column_ = kColumns - 1;
                --row_;
            }
            return;
        default:
            break;
    }
    ScreenCell& cell = cells_[index(column_, row_)];
    const ScreenCell written{byte, attr_};
    if (cell != written) {
        cell = written;
        ++changes_;
    }
    // Writing the last column moves the cursor on to the start of the next row at once.
    if (++column_ == kColumns) newLine();
}

void ScreenModel::write(std::string_view text) {
    for (const char c : text) write(static_cast<unsigned char>(c));
}

std::string ScreenModel::rowText(int row) const {
    std::string text(kColumns, ' ');
    for (int c = 0; c < kColumns; ++c) text[c] = static_cast<char>(at(c, row).glyph);
    return text;
}

void ScreenModel::newLine() {
    column_ = 0;
    if (row_ + 1 < kRows) {
        ++row_;
    } else {
        scrollUp();
    }
}

// The whole picture moves up one row; the new last row is blank in the current attribute.
void ScreenModel::scrollUp() {
    std::copy(cells_.begin() + kColumns, cells_.end(), cells_.begin());
    std::fill(cells_.end() - kColumns, cells_.end(), ScreenCell{' ', attr_});
    ++changes_;
}

bool ShownScreen::take(const ScreenModel& model, int column, int row) {
    const ScreenCell& cell = model.at(column, row);
    ScreenCell& shown = cells_[row * ScreenModel::kColumns + column];
    if (valid_ && cell == shown) return false;
    shown = cell;
    return true;
}

std::optional<CellArea> ShownScreen::update(const ScreenModel& model) {
    if (!outdated(model)) return std::nullopt;
    std::optional<CellArea> area;
    for (int row = 0; row < ScreenModel::kRows; ++row) {
        for (int column = 0; column < ScreenModel::kColumns; ++column) {
            if (!take(model, column, row)) continue;
            if (!area) {
                area = CellArea{column, row, column, row};
            } else {
                area->left = std::min(area->left, column);
                area->right = std::max(area->right, column);
                area->bottom = row;
            }
        }
    }
    taken(model);
    return area;
}
