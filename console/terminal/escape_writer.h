// The bytes that bring a terminal from the picture it shows to the console's picture, written from
// the terminal's own description (terminfo) and nothing else.
//
// Only what the player would see differently is sent. A blank is a blank whatever colour it was
// written in, since the background is always black; a colour is set only for a glyph that shows
// it, and only when the terminal's current colour is another; the cursor takes the shortest way
// the terminal offers (absolute, relative, or writing over cells that already show the right
// thing). The picture sits centred in a larger terminal, on black.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "console/screen_model.h"

// What a terminal understands, as its terminfo entry describes it. Parameterised sequences are
// kept as their terminfo templates and expanded when used; a missing one is empty.
struct TerminalEscapes {
    std::string cursorAddress;          // cup: row, column
    std::string columnAddress;          // hpa
    std::string rowAddress;             // vpa
    std::string right, left, up, down;  // cuf, cub, cuu, cud: by n cells
    std::string right1, left1, up1;     // cuf1, cub1, cuu1: by one cell
    std::string carriageReturn;         // cr
    std::string clear;                  // clears the screen and homes the cursor
    std::string resetAttributes;        // sgr0
    std::string bold;
    std::string foreground, background;  // setaf, setab
    bool backgroundErase = false;        // bce: clearing paints the current background
    int colours = 0;
    bool unicode = true;  // a UTF-8 locale: glyphs as Unicode, else ASCII shapes

    // The entry of the terminal that curses has set up.
    static TerminalEscapes fromCurrentTerminal(bool unicode);
    // The entry for a terminal type, read from the terminfo database (for tools and tests).
    // Empty escapes when there is no such entry.
    static TerminalEscapes forTerminal(const char* type, bool unicode);
};

class EscapeWriter {
public:
    explicit EscapeWriter(const TerminalEscapes& escapes);

    // The terminal's size; the picture is centred in it (or at the top left when it is smaller).
    // What the terminal shows becomes unknown.
    void setTerminalSize(int rows, int columns);

    // What the terminal shows is unknown (another program or a message used it): the next frame
    // blacks out the whole terminal and draws every cell.
    void forget() { known_ = false; }
    bool knowsScreen() const { return known_; }

    // Appends to `out` what makes the terminal show `model`, and takes that as shown.
    void frame(const ScreenModel& model, std::string& out);

    // Whether the terminal, once it has what was appended, looks exactly like `model`.
    bool shows(const ScreenModel& model) const;

    int originRow() const { return originRow_; }
    int originColumn() const { return originColumn_; }

    // The bytes a glyph is sent as (its UTF-8 encoding or its ASCII shape).
    const std::string& glyphBytes(unsigned char glyph) const { return glyphs_[glyph]; }

private:
    struct Pen {
        short colour = -1;
        bool bold = false;
        friend bool operator==(const Pen&, const Pen&) = default;
    };

    bool blank(unsigned char glyph) const { return glyphs_[glyph] == " "; }
    bool looksSame(const ScreenCell& a, const ScreenCell& b) const {
        return a == b || (blank(a.glyph) && blank(b.glyph));
    }
    // A parameterised sequence expanded once and kept: the expansion is the costly part of a
    // frame, and the same few moves recur.
    using Cache = std::vector<std::optional<std::string>>;
    const std::string& cached(Cache& cache, const std::string& templ, int index, int second = 0);
    const std::string& address(int row, int column);

    Pen penFor(Colour colour) const;
    void blackOut(std::string& out);
    void setPen(Pen pen, std::string& out);
    void moveTo(int row, int column, const ScreenModel& model, std::string& out);
    void put(const ScreenCell& cell, std::string& out);

    TerminalEscapes escapes_;
    Cache columnAddresses_, rowAddresses_, rights_, lefts_, ups_, downs_, pictureAddresses_;
    std::string scratch_;
    std::array<std::string, 256> glyphs_;
    std::array<std::string, 16> foregrounds_;
    std::string blackBackground_;

    int rows_ = 0, columns_ = 0;
    int originRow_ = 0, originColumn_ = 0;
    bool known_ = false;
    std::array<ScreenCell, ScreenModel::kColumns * ScreenModel::kRows> shown_{};
    // The terminal's cursor (in terminal cells) and pen; a cursor that wrote the last column
    // waits to wrap and is taken as unknown.
    int cursorRow_ = 0, cursorColumn_ = 0;
    bool cursorKnown_ = false;
    Pen pen_;
    bool penKnown_ = false;
};
