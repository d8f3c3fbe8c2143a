#include "console/screen_model.h"

#include <gtest/gtest.h>

namespace {

// What a backend sends after each drawing: everything at first, then the smallest rectangle
// around the changed cells, nothing for a pass that ends as it began, everything after the
// screen was lost.
TEST(ShownScreen, SendsTheSmallestAreaAroundWhatChanged) {
    ScreenModel model;
    ShownScreen shown;
    EXPECT_EQ(shown.update(model), (CellArea{0, 0, 99, 29}));
    EXPECT_EQ(shown.update(model), std::nullopt);

    model.moveTo(40, 3);
    model.write('a');
    model.moveTo(7, 12);
    model.write("bc");
    EXPECT_EQ(shown.update(model), (CellArea{7, 3, 40, 12}));

    // Drawn White, then Green again as it stood: counted as changes, but nothing to send.
    model.setAttr(Colour::Green);
    model.moveTo(7, 12);
    model.write('b');
    model.setAttr(Colour::White);
    model.moveTo(7, 12);
    model.write('b');
    EXPECT_EQ(shown.update(model), std::nullopt);

    shown.invalidate();
    EXPECT_EQ(shown.update(model), (CellArea{0, 0, 99, 29}));
}

}  // namespace
