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

// The pace of the keys. Passes come as fast as the console draws them (about sixty a second on
// a terminal, other rates elsewhere), and a key counts as pressed on every pass while it is down:
// moving on every such pass would run a 150 ms tap of Down through the whole menu, and a held
// Enter would act again and again. So the menu moves one item when a press begins, and a held
// arrow repeats after a delay at a rhythm of its own.
constexpr long long kRepeatDelayMs = 450;
constexpr long long kRepeatIntervalMs = 110;  // about nine items a second
// A key read pressed by the previous pass is still the same hold. So is one read pressed this
// little time ago once the hold may be auto-repeating: a terminal that reports no releases sends a
// held key's auto-repeat 20 to 30 times a second, and the passes in between read it released.
// Auto-repeat starts no sooner than its delay after the key went down; before that, a key read
// released and then pressed again was tapped again, however quickly.
constexpr long long kHoldGapMs = 75;
constexpr long long kShortestRepeatDelayMs = 200;
// On such a terminal a hold looks like a lone press, read only for a moment, then nothing for the
// repeat delay (250 to 700 ms), then a press that goes on. A press that comes that long after a
// lone one is taken as the hold's first auto-repeat if it goes on, so the rhythm goes on from
// there rather than waiting out the delay again.
constexpr long long kLonePressMs = 25;
constexpr long long kLonePressWindowMs = 1000;

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

void showHelp(const char* fileName, MenuKeys& keys) {
    showHelpFile(fileName);
    clearScreen();
    // An Enter still down when the viewer closes, and its auto-repeat, are the press that opened
    // it: the hold goes on from here and acts no more.
    keys.enter.lastSeenPass = keys.pass;
    keys.enter.lastSeenMs = keys.enter.pressMs = monotonicMs();
    keys.enter.repeating = true;
}

// Whether the key, read `pressed` by this pass, moves the menu: when a press begins, and for an
// arrow (`repeats`) on every beat of the repeat rhythm while it is held.
bool acts(MenuKeys::Hold& hold, bool pressed, long long pass, long long nowMs, bool repeats) {
    if (!pressed) return false;
    const bool mayRepeat = hold.repeating || nowMs - hold.pressMs >= kShortestRepeatDelayMs;
    const bool held =
        hold.lastSeenPass == pass - 1 || (mayRepeat && nowMs - hold.lastSeenMs <= kHoldGapMs);
    const long long sincePress = nowMs - hold.pressMs;
    const bool afterLonePress = !held && hold.lastSeenMs - hold.pressMs <= kLonePressMs &&
                                sincePress >= kShortestRepeatDelayMs &&
                                sincePress <= kLonePressWindowMs;
    hold.lastSeenPass = pass;
    hold.lastSeenMs = nowMs;
    if (!held) {
        hold.nextRepeatMs = nowMs + (afterLonePress ? kRepeatIntervalMs : kRepeatDelayMs);
        hold.pressMs = nowMs;
        hold.repeating = afterLonePress;
        return true;
    }
    if (!repeats || nowMs < hold.nextRepeatMs) return false;
    hold.nextRepeatMs += kRepeatIntervalMs;
    if (hold.nextRepeatMs <= nowMs) hold.nextRepeatMs = nowMs + kRepeatIntervalMs;  // no bursts
    return true;
}

}  // namespace

MenuOutcome menuPass(int& selection, MenuKeys& keys) {
    writeText(kHeading, Colour::White);
    for (int item = 0; item < static_cast<int>(std::size(kItems)); ++item)
        writeText(kItems[item], item == selection ? Colour::Green : Colour::White);
    writeText(kFooter, Colour::White);
    drawPicture(kMenuPicture, kConsoleColumns, kMenuGlyphs);

    const long long pass = ++keys.pass;
    const long long now = monotonicMs();
    if (acts(keys.up, keyPressed(Key::Up), pass, now, true) && selection > kStartGameItem)
        --selection;
    if (acts(keys.down, keyPressed(Key::Down), pass, now, true) && selection < kExitItem)
        ++selection;
    // Enter acts on the selection as the arrows left it.
    if (acts(keys.enter, keyPressed(Key::Enter), pass, now, false)) {
        if (selection == kStartGameItem) return MenuOutcome::StartGame;
        if (selection == kAssistanceItem) showHelp(kAssistanceFile, keys);
        if (selection == kInformationItem) showHelp(kInformationFile, keys);
        if (selection == kExitItem) std::exit(0);
    }

    drawHighlightFrame(selection);
    return MenuOutcome::KeepShowing;
}

void runMainMenu(int& selection) {
    MenuKeys keys;
    while (menuPass(selection, keys) != MenuOutcome::StartGame) {
    }
}
