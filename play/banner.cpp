#include "play/banner.h"

#include <string_view>

#include "console/console_primitives.h"

// Three words in block letters and a heart, each line padded to the full width so that typing it
// wipes what stood beneath.
// clang-format off
constexpr const char* kBanner[kBannerLines] = {
    "                                                                       \n",
    "#   #  ###  #   #       #####  ###  #   # #   # ####                   \n",
    " # #  #   # #   #       #     #   # #   # ##  # #   #                  \n",
    "  #   #   # #   #       ####  #   # #   # # # # #   #                  \n",
    "  #   #   # #   #       #     #   # #   # #  ## #   #                  \n",
    "  #   #   # #   #       #     #   # #   # #   # #   #                  \n",
    "  #    ###   ###        #      ###   ###  #   # ####                   \n",
    "                                                                       \n",
    " ###         #### #####  #### ####  ##### #####                        \n",
    "#   #       #     #     #     #   # #       #                          \n",
    "#   #        ###  ####  #     ####  ####    #                          \n",
    "#####           # #     #     # #   #       #                          \n",
    "#   #           # #     #     #  #  #       #                          \n",
    "#   #       ####  #####  #### #   # #####   #                          \n",
    "                                                                       \n",
    "#   # ##### #     #           ####   ###  #   # #####                  \n",
    "#   # #     #     #           #   # #   # ##  # #                      \n",
    "#   # ####  #     #           #   # #   # # # # ####                   \n",
    "# # # #     #     #           #   # #   # #  ## #                      \n",
    "## ## #     #     #           #   # #   # #   # #                      \n",
    "#   # ##### ##### #####       ####   ###  #   # #####                  \n",
    "                                                                       \n",
    "       glyph<3l     abyrinth                                           \n",
    "     !glyph<3laby rinth!glyph<                                         \n",
    "   3labyrinth!glyph<3labyrinth!g                                       \n",
    "   lyph<3labyrinth!glyph<3labyri                                       \n",
    "   nth!glyph<3labyrinth!glyph<3l                                       \n",
    "   abyrinth!glyph<3labyrinth!gly                                       \n",
    "   ph<3labyrinth!glyph<3labyrint                                       \n",
    "   h!glyph<3labyrinth!glyph<3lab                                       \n",
    "    yrinth!glyph<3labyrinth!gly                                        \n",
    "     ph<3labyrinth!glyph<3laby                                         \n",
    "      rinth!glyph<3labyrinth!                                          \n",
    "       glyph<3labyrinth!glyp                                           \n",
    "         h<3labyrinth!glyp                                             \n",
    "           h<3labyrinth!                                               \n",
    "             glyph<3la                                                 \n",
    "               byrin                                                   \n",
    "                 t                                                     \n",
};
// clang-format on

// Every line is as wide as the banner and ends in a line break, so that each starts at column 0.
constexpr bool linesAreWhole() {
    for (const std::string_view line : kBanner)
        if (line.size() != kBannerWidth + 1 || line.find('\n') != kBannerWidth) return false;
    return true;
}
static_assert(linesAreWhole(), "a banner line is not 71 characters and a line break");

// Typed from wherever the cursor stands, in whatever colour is in force: the banner falls over
// the play screen from the player's right and runs on down past its bottom, scrolling it.
void typeBanner() {
    for (const char* line : kBanner) typeText(line);
}
