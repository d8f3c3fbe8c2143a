#include "front/main_menu.h"

#include <cstdlib>
#include <iterator>

#include "console/console_primitives.h"
#include "console/services.h"
#include "front/startup.h"
#include "maze/glyph_table.h"

namespace {

// The menu picture, one code per cell, drawn through the menu glyph table below: five boxes down
// the left edge, the title in block letters whose strokes end in a light shade, and the face.
// clang-format off
constexpr char kMenuPicture[kConsoleRows][kConsoleColumns + 1] = {
    "31111111111111111111111114             JJJL  JL     JL  JL JJJJL  JL  JL                            ",  // 00
    "2                        2            JL  JL JL     JL  JL JL  JL JL  JL                            ",  // 01
    "2                        2            JL     JL      JLJL  JL  JL JL  JL                            ",  // 02
    "2                        2            JL JJL JL       JL   JJJJL  JJJJJL                            ",  // 03
    "61111111111111111111111115            JL  JL JL       JL   JL     JL  JL                            ",  // 04
    "                                      JL  JL JL       JL   JL     JL  JL                            ",  // 05
    "31111111111111111111111114             JJJL  JJJJJL   JL   JL     JL  JL                            ",  // 06
    "2                        2                                                                          ",  // 07
    "2                        2    JL      JJJL  JJJJL  JL  JL JJJJL  JJJL JL  JL JJJJJL JL  JL          ",  // 08
    "2                        2    JL     JL  JL JL  JL JL  JL JL  JL  JL  JJL JL   JL   JL  JL          ",  // 09
    "61111111111111111111111115    JL     JL  JL JL  JL  JLJL  JL  JL  JL  JLJLJL   JL   JL  JL          ",  // 10
    "                              JL     JJJJJL JJJJL    JL   JJJJL   JL  JL JJL   JL   JJJJJL          ",  // 11
    "31111111111111111111111114    JL     JL  JL JL  JL   JL   JLJL    JL  JL  JL   JL   JL  JL          ",  // 12
    "2                        2    JL     JL  JL JL  JL   JL   JL JL   JL  JL  JL   JL   JL  JL          ",  // 13
    "2                        2    JJJJJL JL  JL JJJJL    JL   JL  JL JJJL JL  JL   JL   JL  JL          ",  // 14
    "2                        2                                                                          ",  // 15
    "61111111111111111111111115                  DDDCCCBBBBBBBBBBCCCDDD                                  ",  // 16
    "                                          DDDCCCBBBBBBBBBBBBBBCCCDDD                                ",  // 17
    "31111111111111111111111114               DDDCCCBBBBBBBBBBBBBBBBCCCDDD                               ",  // 18
    "2                        2              DDDCCCBBBBBBBBBBBBBBBBBBCCCDDD                              ",  // 19
    "2                        2              DDDCCCBBBBB  BBBB  BBBBBCCCDDD                              ",  // 20
    "2                        2             DDDCCCBBBBBB  BBBB  BBBBBBCCCDDD                             ",  // 21
    "61111111111111111111111115             DDDCCCBBBBBBBBBBBBBBBBBBBBCCCDDD                             ",  // 22
    "                                       DDDCCCBBBBBBBBBBBBBBBBBBBBCCCDDD                             ",  // 23
    "31111111111111111111111114             DDDCCCBBBBBBB      BBBBBBBCCCDDD                             ",  // 24
    "2                        2              DDDCCCBBBBBBB    BBBBBBBCCCDDD                              ",  // 25
    "2                        2              DDDCCCBBBBBBBBBBBBBBBBBBCCCDDD                              ",  // 26
    "2                        2               DDDCCCBBBBBBBBBBBBBBBBCCCDDD                               ",  // 27
    "61111111111111111111111115                DDDCCCBBBBBBBBBBBBBBCCCDDD                                ",  // 28
    "                                           DDDCCCBBBBBBBBBBBBCCCDDD                                 ",  // 29
};
// clang-format on

// The menu's own meaning of the picture codes; the same letters mean other things in the maze.
constexpr GlyphTable kMenuGlyphs = {
    {'1', {0xCD, Colour::White}},     {'2', {0xBA, Colour::White}},
    {'3', {0xC9, Colour::White}},     {'4', {0xBB, Colour::White}},
    {'5', {0xBC, Colour::White}},     {'6', {0xC8, Colour::White}},
    {'B', {0xB2, Colour::LightBlue}}, {'C', {0xB1, Colour::LightBlue}},
    {'D', {0xB0, Colour::LightBlue}}, {'J', {0xDB, Colour::White}},
    {'L', {0xB0, Colour::White}},
};

struct MenuText {
    int column;
    int row;
    const char* text;
};

constexpr MenuText kHeading{8, 2, "Main Menu"};
constexpr MenuText kItems[] = {
    {8, 8, "Start game"},
    {8, 14, "Assistance"},
    {8, 20, "Information"},
    {8, 26, "Exit"},
};
constexpr MenuText kFooter{1, 29, "Made by the Glyph Labyrinth developers"};

constexpr int kBoxWidth = 26;
constexpr int kBoxPitch = 6;  // the item boxes start at rows 6, 12, 18 and 24

void writeText(const MenuText& text, Colour attr) {
    setColor(attr);
    gotoXY(text.column, text.row);
    putText(text.text);
}

// A green double frame over the selected box. Its rows are joined by line breaks, which move to
// column 0 without erasing, so the title and the face beside the box stay; its inner spaces blank
// the label until the next pass writes it again.
void drawHighlightFrame(int selection) {
    gotoXY(0, kBoxPitch + kBoxPitch * selection);
    setColor(Colour::Green);
    const auto frameRow = [](unsigned char left, unsigned char fill, unsigned char right) {
        putGlyph(left);
        for (int i = 0; i < kBoxWidth - 2; ++i) putGlyph(fill);
        putGlyph(right);
    };
    frameRow(0xC9, 0xCD, 0xBB);
    for (int i = 0; i < 3; ++i) {
        putText("\n");
        frameRow(0xBA, ' ', 0xBA);
    }
    putText("\n");
    frameRow(0xC8, 0xCD, 0xBC);
}

void showHelp(const char* fileName) {
    showHelpFile(fileName);
    clearScreen();
}

}  // namespace

MenuOutcome menuPass(int& selection) {
    writeText(kHeading, Colour::White);
    for (int item = 0; item < static_cast<int>(std::size(kItems)); ++item)
        writeText(kItems[item], item == selection ? Colour::Green : Colour::White);
    writeText(kFooter, Colour::White);
    drawPicture(kMenuPicture, kConsoleColumns, kMenuGlyphs);

    if (keyPressed(Key::Up) && selection > kStartGameItem) --selection;
    if (keyPressed(Key::Down) && selection < kExitItem) ++selection;
    // Enter is asked anew for every item, each time about the selection as it stands then.
    if (keyPressed(Key::Enter) && selection == kStartGameItem) return MenuOutcome::StartGame;
    if (keyPressed(Key::Enter) && selection == kAssistanceItem) showHelp(kAssistanceFile);
    if (keyPressed(Key::Enter) && selection == kInformationItem) showHelp(kInformationFile);
    if (keyPressed(Key::Enter) && selection == kExitItem) std::exit(0);

    drawHighlightFrame(selection);
    return MenuOutcome::KeepShowing;
}

void runMainMenu(int& selection) {
    while (menuPass(selection) != MenuOutcome::StartGame) {
    }
}
