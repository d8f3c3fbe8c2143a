// Pictures as data: a picture is rows of one-byte codes, drawn through a glyph table that gives a
// code its code page 437 glyph and colour. The level, the menu and the end screens each have a
// table of their own, since the same code means different things in each.
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <optional>

#include "console/console_primitives.h"

struct GlyphLook {
    unsigned char glyph;
    Colour attr;
};

struct GlyphEntry {
    char code;
    GlyphLook look;
};

// A code-to-look table, built at compile time and looked up by code in one step.
class GlyphTable {
public:
    constexpr GlyphTable(std::initializer_list<GlyphEntry> entries) {
        for (const GlyphEntry& entry : entries) {
            const auto index = static_cast<unsigned char>(entry.code);
            looks_[index] = entry.look;
            present_[index] = true;
        }
    }

    // The look of a code, or nothing for a code without an entry.
    constexpr std::optional<GlyphLook> find(char code) const {
        const auto index = static_cast<unsigned char>(code);
        if (!present_[index]) return std::nullopt;
        return looks_[index];
    }

private:
    std::array<GlyphLook, 256> looks_{};
    std::array<bool, 256> present_{};
};

// Draws `rows` rows of `columns` codes, row after row, each row `stride` bytes after the one
// before, from the console's top-left cell. The cursor is moved to every cell, drawn or not; a
// code with a look is drawn with its colour set just before it, a code without one writes nothing
// and the cell keeps what it showed.
void drawPicture(const char* picture, int rows, int columns, int stride, const GlyphTable& table);

template <std::size_t Rows, std::size_t Stride>
void drawPicture(const char (&picture)[Rows][Stride], int columns, const GlyphTable& table) {
    drawPicture(&picture[0][0], static_cast<int>(Rows), columns, static_cast<int>(Stride), table);
}
