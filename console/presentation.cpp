#include "console/presentation.h"

#include <algorithm>

std::optional<CellArea> ShownScreen::update(const ScreenModel& model) {
    constexpr int kColumns = ScreenModel::kColumns;
    constexpr int kRows = ScreenModel::kRows;
    if (valid_ && model.changeCount() == modelChanges_) return std::nullopt;

    const bool everything = !valid_;
    std::optional<CellArea> area;
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            const ScreenCell& cell = model.at(column, row);
            ScreenCell& shown = cells_[row * kColumns + column];
            if (!everything && cell == shown) continue;
            shown = cell;
            if (!area) {
                area = CellArea{column, row, column, row};
            } else {
                area->left = std::min(area->left, column);
                area->right = std::max(area->right, column);
                area->bottom = row;
            }
        }
    }
    valid_ = true;
    modelChanges_ = model.changeCount();
    return area;
}
