// Golden screens: the whole console picture, glyph and colour of every cell, as a text file that
// reads like the screen, and the scenes of the game whose pictures are kept that way.
//
// A file holds a title line, the 30 rows of glyphs (code page 437 shown as Unicode) and then the
// 30 rows of colours (the attribute's digit, or a blank where the cell shows nothing), each row
// between bars so that no editor trims its trailing blanks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "console/screen_model.h"

// The screen as a golden file.
std::string goldenText(const ScreenModel& screen, std::string_view title);

// The cells in which two golden files differ, one line each, or nothing when they show the same
// picture. Only the rows are compared, not the title.
std::string cellDifferences(std::string_view expected, std::string_view actual);

// A scene of the game: it plays from a fresh test console and leaves its picture there.
struct GoldenScene {
    const char* name;   // also the file name, tests/golden/<name>.txt
    const char* title;  // what the picture shows, the file's first line
    void (*play)();
};

const std::vector<GoldenScene>& goldenScenes();
