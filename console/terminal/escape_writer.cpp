#include "console/terminal/escape_writer.h"

#include <unistd.h>

#include <algorithm>
#include <cwchar>

#include "console/cp437.h"
#include "console/terminal/curses.h"

// Declared in term.h, whose capability macros (`columns`, `lines`, ...) would rewrite ordinary
// names here.
extern "C" int setupterm(const char* type, int fd, int* error);

namespace {

std::string capability(const char* name) {
    const char* value = tigetstr(name);
    if (value == nullptr || value == reinterpret_cast<char*>(-1)) return {};
    return value;
}

std::string expand(const std::string& templ, int first, int second = 0) {
    if (templ.empty()) return {};
    const char* text = tiparm(templ.c_str(), first, second);
    return text != nullptr ? text : std::string();
}

std::string repeated(const std::string& text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) result += text;
    return result;
}

}  // namespace

TerminalEscapes TerminalEscapes::fromCurrentTerminal(bool unicode) {
    TerminalEscapes escapes;
    escapes.cursorAddress = capability("cup");
    escapes.columnAddress = capability("hpa");
    escapes.rowAddress = capability("vpa");
    escapes.right = capability("cuf");
    escapes.left = capability("cub");
    escapes.up = capability("cuu");
    escapes.down = capability("cud");
    escapes.right1 = capability("cuf1");
    escapes.left1 = capability("cub1");
    escapes.up1 = capability("cuu1");
    escapes.carriageReturn = capability("cr");
    escapes.clear = capability("clear");
    escapes.resetAttributes = capability("sgr0");
    escapes.bold = capability("bold");
    escapes.foreground = capability("setaf");
    escapes.background = capability("setab");
    escapes.backgroundErase = tigetflag("bce") > 0;
    escapes.colours = std::max(0, tigetnum("colors"));
    escapes.unicode = unicode;
    return escapes;
}

TerminalEscapes TerminalEscapes::forTerminal(const char* type, bool unicode) {
    int error = 0;
    if (setupterm(type, STDOUT_FILENO, &error) != 0) return {};
    return fromCurrentTerminal(unicode);
}

EscapeWriter::EscapeWriter(const TerminalEscapes& escapes) : escapes_(escapes) {
    for (int byte = 0; byte < 256; ++byte) {
        const auto glyph = static_cast<unsigned char>(byte);
        if (!escapes_.unicode) {
            glyphs_[byte] = std::string(1, cp437ToAscii(glyph));
            continue;
        }
        const char32_t code = cp437ToUnicode(glyph);
        // A glyph that would take two cells, or none, would shift the rest of its row.
        const bool oneCell = code < 0x80 || wcwidth(static_cast<wchar_t>(code)) == 1;
        appendUtf8(glyphs_[byte], oneCell ? code : U' ');
    }
    if (escapes_.colours > 0) {
        const int count = std::min(escapes_.colours, 16);
        for (int colour = 0; colour < count; ++colour)
            foregrounds_[colour] = expand(escapes_.foreground, colour);
        blackBackground_ = expand(escapes_.background, 0);
    }
}

void EscapeWriter::setTerminalSize(int rows, int columns) {
    rows_ = rows;
    columns_ = columns;
    originRow_ = std::max(0, (rows - ScreenModel::kRows) / 2);
    originColumn_ = std::max(0, (columns - ScreenModel::kColumns) / 2);
    known_ = false;
    const auto longest = static_cast<std::size_t>(std::max(rows, columns) + 1);
    for (Cache* cache : {&columnAddresses_, &rowAddresses_, &rights_, &lefts_, &ups_, &downs_})
        cache->assign(longest, std::nullopt);
    pictureAddresses_.assign(ScreenModel::kRows * ScreenModel::kColumns, std::nullopt);
}

const std::string& EscapeWriter::cached(Cache& cache, const std::string& templ, int index,
                                        int second) {
    if (index < 0 || static_cast<std::size_t>(index) >= cache.size()) {
        scratch_ = expand(templ, index, second);
        return scratch_;
    }
    auto& entry = cache[static_cast<std::size_t>(index)];
    if (!entry) entry = expand(templ, index, second);
    return *entry;
}

// The absolute address of a cell; those of the picture's cells are kept.
const std::string& EscapeWriter::address(int row, int column) {
    const int r = row - originRow_;
    const int c = column - originColumn_;
    if (r < 0 || r >= ScreenModel::kRows || c < 0 || c >= ScreenModel::kColumns) {
        scratch_ = expand(escapes_.cursorAddress, row, column);
        return scratch_;
    }
    auto& entry = pictureAddresses_[static_cast<std::size_t>(r * ScreenModel::kColumns + c)];
    if (!entry) entry = expand(escapes_.cursorAddress, row, column);
    return *entry;
}

// Console attributes are bit sets (1 blue, 2 green, 4 red, 8 bright); terminals number colours
// the other way round (1 red, 4 blue). Bright colours exist only on terminals with 16 colours;
// elsewhere bold brightens the base colour.
EscapeWriter::Pen EscapeWriter::penFor(Colour colour) const {
    static constexpr short kBase[16] = {0, 4, 2, 6, 1, 5, 3, 7, 0, 4, 2, 6, 1, 5, 3, 7};
    const auto attribute = static_cast<unsigned>(colour) & 15;
    if (escapes_.foreground.empty() || escapes_.colours < 8) return {};
    const bool bright = attribute >= 8;
    if (escapes_.colours >= 16) return {static_cast<short>(kBase[attribute] + (bright ? 8 : 0))};
    return {kBase[attribute], bright};
}

// Clears the whole terminal to black. Where clearing paints the terminal's own background, every
// cell is written over with a black blank.
void EscapeWriter::blackOut(std::string& out) {
    out += escapes_.resetAttributes;
    out += blackBackground_;
    pen_ = {};
    out += escapes_.clear;
    cursorRow_ = 0;
    cursorColumn_ = 0;
    cursorKnown_ = true;
    if (!escapes_.backgroundErase && !blackBackground_.empty()) {
        for (int row = 0; row < rows_; ++row) {
            if (row > 0) out += address(row, 0);
            out.append(static_cast<std::size_t>(columns_), ' ');
        }
        cursorKnown_ = false;
    }
    shown_.fill(ScreenCell{' ', Colour::White});
    known_ = true;
}

void EscapeWriter::setPen(Pen pen, std::string& out) {
    if (pen_.bold && !pen.bold) {  // only a reset turns bold off
        out += escapes_.resetAttributes;
        out += blackBackground_;
        pen_ = {};
    }
    if (pen.bold && !pen_.bold) {
        out += escapes_.bold;
        pen_.bold = true;
    }
    if (pen.colour != pen_.colour) {
        if (pen.colour >= 0) out += foregrounds_[static_cast<std::size_t>(pen.colour)];
        pen_.colour = pen.colour;
    }
}

// The shortest of: the absolute address; a vertical move (absolute, relative, or one row at a
// time) followed by a horizontal one (absolute, relative, from the row's start, or writing again
// the cells in between when they already show what they would be written as).
void EscapeWriter::moveTo(int row, int column, const ScreenModel& model, std::string& out) {
    if (cursorKnown_ && cursorRow_ == row && cursorColumn_ == column) return;
    std::string best = address(row, column);
    if (cursorKnown_) {
        std::string verticals[4];
        int count = 0;
        if (row == cursorRow_) {
            verticals[count++] = "";
        } else {
            verticals[count++] = cached(rowAddresses_, escapes_.rowAddress, row);
            const int rows = std::abs(row - cursorRow_);
            verticals[count++] = row > cursorRow_ ? cached(downs_, escapes_.down, rows)
                                                  : cached(ups_, escapes_.up, rows);
            if (row < cursorRow_ && rows <= 3 && !escapes_.up1.empty())
                verticals[count++] = repeated(escapes_.up1, rows);
        }

        const int from = cursorColumn_;
        const int cells = std::abs(column - from);
        std::string horizontals[7];
        int options = 0;
        if (column == from) {
            horizontals[options++] = "";
        } else {
            horizontals[options++] = cached(columnAddresses_, escapes_.columnAddress, column);
            horizontals[options++] = column > from ? cached(rights_, escapes_.right, cells)
                                                   : cached(lefts_, escapes_.left, cells);
            const std::string& one = column > from ? escapes_.right1 : escapes_.left1;
            if (cells <= 4 && !one.empty()) horizontals[options++] = repeated(one, cells);
            if (!escapes_.carriageReturn.empty() && column < from) {
                horizontals[options++] =
                    escapes_.carriageReturn +
                    (column == 0 ? std::string() : cached(rights_, escapes_.right, column));
            }
            // The cells in between, written again, when each shows the same either way.
            if (column > from && from >= originColumn_) {
                std::string again;
                const int modelRow = row - originRow_;
                for (int c = from; c < column && again.size() < best.size(); ++c) {
                    const ScreenCell& cell = model.at(c - originColumn_, modelRow);
                    const bool fits = blank(cell.glyph) || penFor(cell.attr) == pen_;
                    if (!fits ||
                        !looksSame(cell,
                                   shown_[modelRow * ScreenModel::kColumns + c - originColumn_])) {
                        again.clear();
                        break;
                    }
                    again += glyphs_[cell.glyph];
                }
                if (!again.empty() && again.size() < best.size())
                    horizontals[options++] = std::move(again);
            }
        }
        for (int v = 0; v < count; ++v) {
            if (row != cursorRow_ && verticals[v].empty()) continue;  // not offered
            for (int h = 0; h < options; ++h) {
                if (column != from && horizontals[h].empty()) continue;
                if (verticals[v].size() + horizontals[h].size() < best.size())
                    best = verticals[v] + horizontals[h];
            }
        }
    }
    out += best;
    cursorRow_ = row;
    cursorColumn_ = column;
    cursorKnown_ = true;
}

void EscapeWriter::put(const ScreenCell& cell, std::string& out) {
    if (!blank(cell.glyph)) setPen(penFor(cell.attr), out);
    out += glyphs_[cell.glyph];
    // After the last column the terminal waits to wrap; where it goes next is its own affair.
    if (++cursorColumn_ >= columns_) cursorKnown_ = false;
}

void EscapeWriter::frame(const ScreenModel& model, std::string& out) {
    if (!known_) blackOut(out);
    for (int row = 0; row < ScreenModel::kRows && originRow_ + row < rows_; ++row) {
        for (int column = 0; column < ScreenModel::kColumns && originColumn_ + column < columns_;
             ++column) {
            const ScreenCell& cell = model.at(column, row);
            ScreenCell& shown = shown_[row * ScreenModel::kColumns + column];
            if (looksSame(cell, shown)) continue;
            moveTo(originRow_ + row, originColumn_ + column, model, out);
            put(cell, out);
            shown = cell;
        }
    }
}

bool EscapeWriter::shows(const ScreenModel& model) const {
    if (!known_) return false;
    for (int row = 0; row < ScreenModel::kRows; ++row) {
        for (int column = 0; column < ScreenModel::kColumns; ++column) {
            if (!looksSame(model.at(column, row), shown_[row * ScreenModel::kColumns + column]))
                return false;
        }
    }
    return true;
}
