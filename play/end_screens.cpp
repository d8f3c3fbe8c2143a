#include "play/end_screens.h"

#include "console/console_primitives.h"
#include "console/services.h"
#include "maze/glyph_table.h"

namespace {

// The end pictures: YOU WIN with a smiling face and the five statistics boxes, or GAME OVER with
// a sad face. Each row is a string of picture codes; the bytes after it are zero and draw nothing,
// but the drawing still visits them: the win picture's full 100 columns, the loss picture's 65.
constexpr int kLossColumns = 65;

// clang-format off
constexpr char kWinPicture[30][100] = {
    "      JL  JL  JJJL  JL  JL            JL  JL JJJL JL  JL           31111111111111111111111114",
    "      JL  JL JL  JL JL  JL            JL  JL  JL  JJL JL           2                        2",
    "       JLJL  JL  JL JL  JL            JLJLJL  JL  JLJLJL           2                        2",
    "        JL   JL  JL JL  JL            JLJLJL  JL  JL JJL           2                        2",
    "        JL    JJJL   JJJL              JLJL  JJJL JL  JL           61111111111111111111111115",
    "                                                                                             ",
    "                                                                   31111111111111111111111114",
    "                                                                   2                        2",
    "                                                                   2                        2",
    "                                                                   2                        2",
    "                                                                   61111111111111111111111115",
    "                             JJJJ                                                            ",
    "                           JJJJJJJJ                                31111111111111111111111114",
    "                          JJJJJJJJJJ                               2                        2",
    "                         JJJJJJJJJJJJ                              2                        2",
    "                         JJJ JJJJ JJJ                              2                        2",
    "                        JJJ J JJ J JJJ                             61111111111111111111111115",
    "                        JJJJJJJJJJJJJJ                                                       ",
    "                        JJJJJJJJJJJJJJ                             31111111111111111111111114",
    "                        JJJJ JJJJ JJJJ                             2                        2",
    "                         JJJJ    JJJJ                              2                        2",
    "                         JJJJJJJJJJJJ                              2                        2",
    "                        LLJJJJJJJJJJLL                             61111111111111111111111115",
    "                       LLLLJJJJJJJJLLLL                                                      ",
    "                       LLLLLLJJJJLLLLLL                            31111111111111111111111114",
    "                        LLLLLLLLLLLLLL                             2                        2",
    "                          LLLLLLLLLL                               2                        2",
    "                                                                   2                        2",
    "                                                                   61111111111111111111111115",
    "                                                                                             ",
};

constexpr char kLossPicture[29][kLossColumns] = {
    "                                                                ",
    "   JJJL   JJJL  JL  JL JJJJL       JJJL  JL  JL JJJJL JJJL      ",
    "  JL     JL  JL JJLJJL JL         JL  JL JL  JL JL    JL JL     ",
    "  JL JJL JJJJJL JLJLJL JJJJL      JL  JL  JLJL  JJJJL JJJL      ",
    "  JL  JL JL  JL JL  JL JL         JL  JL  JLJL  JL    JL JL     ",
    "   JJJL  JL  JL JL  JL JJJJL       JJJL    JL   JJJJL JL JL     ",
    "                                                                ",
    "                                                                ",
    "                                                                ",
    "                                                                ",
    "                                                                ",
    "                                                                ",
    "                             JJJJ                               ",
    "                           JJJJJJJJ                             ",
    "                          JJJJJJJJJJ                            ",
    "                         JJ J JJ J JJ                           ",
    "                         JJJ JJJJ JJJ                           ",
    "                        JJJ J JJ J JJJ                          ",
    "                        JJJJJJJJJJJJJJ                          ",
    "                        JJJJJJJJJJJJJJ                          ",
    "                        JJJJJJJJJJJJJJ                          ",
    "                         JJJJ    JJJJ                           ",
    "                         JJJ JJJJ JJJ                           ",
    "                        LLJJJJJJJJJJLL                          ",
    "                       LLLLJJJJJJJJLLLL                         ",
    "                       LLLLLLJJJJLLLLLL                         ",
    "                        LLLLLLLLLLLLLL                          ",
    "                          LLLLLLLLLL                            ",
    "                                                                ",
};
// clang-format on

// The end pictures' own glyph table: White box pieces, Light Blue shades.
constexpr GlyphTable kEndGlyphs = {
    {'1', {0xCD, Colour::White}},     {'2', {0xBA, Colour::White}},
    {'3', {0xC9, Colour::White}},     {'4', {0xBB, Colour::White}},
    {'5', {0xBC, Colour::White}},     {'6', {0xC8, Colour::White}},
    {'J', {0xB1, Colour::LightBlue}}, {'L', {0xB0, Colour::LightBlue}},
};

struct StatisticsLine {
    int column, row;
    const char* text;
};

constexpr StatisticsLine kStatistics[] = {
    {72, 2, "Game statistics"}, {69, 8, "Collected score: "}, {69, 14, "Time wasted: "},
    {69, 20, "Steps taken: "},  {69, 26, "Total score "},
};

}  // namespace

std::int32_t computeTotalScore(const GameState& game) {
    return game.timeLeft * 10 - game.steps + game.score;
}

void drawEndScreenPass(const GameState& game, std::int32_t totalScore) {
    stopSound();
    if (game.won) {
        const std::int32_t values[] = {game.score, game.elapsedTicks, game.steps, totalScore};
        for (int i = 0; i < 5; ++i) {
            setColor(Colour::White);
            gotoXY(kStatistics[i].column, kStatistics[i].row);
            putText(kStatistics[i].text);
            if (i > 0) putNumber(values[i - 1]);
        }
        drawPicture(kWinPicture, kConsoleColumns, kEndGlyphs);
    } else {
        drawPicture(kLossPicture, kLossColumns, kEndGlyphs);
    }
}

// The end screen has no way out: it stands, redrawn in place, until the program is ended from
// outside. The statistics go first in each pass; the picture leaves the boxes' insides alone.
void runEndScreen(const GameState& game) {
    clearScreen();
    const std::int32_t totalScore = computeTotalScore(game);
    for (;;) drawEndScreenPass(game, totalScore);
}
