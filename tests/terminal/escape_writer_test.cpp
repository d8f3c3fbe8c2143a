// The escape writer against a small terminal emulator that understands what terminfo entries
// send: random pictures, frame after frame, must leave the terminal showing each picture exactly
// (glyph, colour, bold, black background, the margins of a larger terminal included), on
// terminals with 16 colours, with 8 and no background-colour erase, and in ASCII.
#include <gtest/gtest.h>

#include <clocale>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "console/cp437.h"
#include "console/terminal/escape_writer.h"

namespace {

class Emulator {
public:
    struct Cell {
        char32_t glyph = U' ';
        int fg = -1;
        bool bold = false;
        int bg = -1;
    };

    Emulator(int rows, int columns, bool backgroundErase)
        : rows_(rows),
          columns_(columns),
          bce_(backgroundErase),
          cells_(static_cast<std::size_t>(rows * columns)) {}

    const Cell& at(int row, int column) const { return cells_[index(row, column)]; }

    void feed(const std::string& bytes) {
        for (std::size_t i = 0; i < bytes.size();) {
            const auto byte = static_cast<unsigned char>(bytes[i]);
            if (byte == 0x1b) {
                i = escape(bytes, i + 1);
            } else if (byte == '\r') {
                column_ = 0, wrap_ = false, ++i;
            } else if (byte == '\b') {
                column_ = std::max(0, column_ - 1), wrap_ = false, ++i;
            } else if (byte == 0x0f) {  // shift in: the normal character set
                ++i;
            } else if (byte < 0x20) {
                ADD_FAILURE() << "control byte " << int(byte);
                ++i;
            } else {
                i = text(bytes, i);
            }
        }
    }

private:
    std::size_t index(int row, int column) const {
        return static_cast<std::size_t>(row * columns_ + column);
    }

    void moveTo(int row, int column) {
        row_ = std::clamp(row, 0, rows_ - 1);
        column_ = std::clamp(column, 0, columns_ - 1);
        wrap_ = false;
    }

    std::size_t escape(const std::string& bytes, std::size_t i) {
        if (bytes[i] == '(') return i + 2;  // character set designation
        if (bytes[i] == 'M') {              // reverse index
            moveTo(row_ - 1, column_);
            return i + 1;
        }
        EXPECT_EQ(bytes[i], '[');
        std::vector<int> params{0};
        for (++i; i < bytes.size() && (std::isdigit(bytes[i]) || bytes[i] == ';'); ++i) {
            if (bytes[i] == ';') {
                params.push_back(0);
            } else {
                params.back() = params.back() * 10 + (bytes[i] - '0');
            }
        }
        const int n = std::max(1, params[0]);
        const int second = std::max(1, params.size() > 1 ? params[1] : 1);
        const char final = bytes[i];
        if (final == 'J') {
            EXPECT_TRUE(params[0] == 2 || (params[0] == 0 && row_ == 0 && column_ == 0));
            for (Cell& cell : cells_) cell = Cell{U' ', -1, false, bce_ ? bg_ : -1};
        } else if (final == 'm') {
            sgr(params);
        } else if (const auto at = std::string_view("HGdABCD").find(final);
                   at != std::string::npos) {
            // Where each cursor move goes: row, column.
            const std::pair<int, int> to[] = {
                {n - 1, second - 1}, {row_, n - 1},       {n - 1, column_},   {row_ - n, column_},
                {row_ + n, column_}, {row_, column_ + n}, {row_, column_ - n}};
            moveTo(to[at].first, to[at].second);
        } else {
            ADD_FAILURE() << "unknown sequence ending in " << final;
        }
        return i + 1;
    }

    void sgr(const std::vector<int>& params) {
        for (std::size_t p = 0; p < params.size(); ++p) {
            const int code = params[p];
            if (code == 0)
                fg_ = -1, bg_ = -1, bold_ = false;
            else if (code == 1)
                bold_ = true;
            else if (code >= 30 && code <= 37)
                fg_ = code - 30;
            else if (code >= 90 && code <= 97)
                fg_ = code - 90 + 8;
            else if (code >= 40 && code <= 47)
                bg_ = code - 40;
            else if ((code == 38 || code == 48) && p + 2 < params.size()) {
                (code == 38 ? fg_ : bg_) = params[p + 2];
                p += 2;
            } else
                ADD_FAILURE() << "unknown SGR " << code;
        }
    }

    std::size_t text(const std::string& bytes, std::size_t i) {
        auto byte = static_cast<unsigned char>(bytes[i]);
        const int length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : 3;
        char32_t code = length == 1 ? byte : length == 2 ? byte & 0x1F : byte & 0x0F;
        for (int k = 1; k < length; ++k) code = code << 6 | (bytes[i + k] & 0x3F);
        if (wrap_) {
            EXPECT_LT(row_ + 1, rows_) << "the terminal would scroll";
            moveTo(row_ + 1, 0);
        }
        cells_[index(row_, column_)] = Cell{code, fg_, bold_, bg_};
        if (column_ + 1 == columns_) {
            wrap_ = true;
        } else {
            ++column_;
        }
        return i + static_cast<std::size_t>(length);
    }

    int rows_, columns_;
    bool bce_;
    std::vector<Cell> cells_;
    int row_ = 0, column_ = 0;
    bool wrap_ = false;
    int fg_ = -1, bg_ = -1;
    bool bold_ = false;
};

struct Terminal {
    const char* type;
    bool unicode;
};

void PrintTo(const Terminal& terminal, std::ostream* out) {
    *out << terminal.type << (terminal.unicode ? "" : " in ASCII");
}

class EscapeWriterTest : public ::testing::TestWithParam<Terminal> {
protected:
    void SetUp() override {
        std::setlocale(LC_CTYPE, "C.UTF-8");
        escapes_ = TerminalEscapes::forTerminal(GetParam().type, GetParam().unicode);
        ASSERT_FALSE(escapes_.cursorAddress.empty()) << "no terminfo entry " << GetParam().type;
    }

    // The terminal shows the picture: every glyph in its colour on black, blanks and margins black.
    void expectShows(const Emulator& terminal, const ScreenModel& model, const EscapeWriter& writer,
                     int rows, int columns) {
        // Console attribute -> (terminal colour, bold) on 16 and on 8 colours.
        static constexpr int kColour[10] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12};
        const bool sixteen = escapes_.colours >= 16;
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < columns; ++column) {
                const Emulator::Cell& shown = terminal.at(row, column);
                const int r = row - writer.originRow();
                const int c = column - writer.originColumn();
                const bool inside =
                    r >= 0 && r < ScreenModel::kRows && c >= 0 && c < ScreenModel::kColumns;
                const ScreenCell cell = inside ? model.at(c, r) : ScreenCell{};
                const char32_t glyph = GetParam().unicode
                                           ? cp437ToUnicode(cell.glyph)
                                           : static_cast<char32_t>(cp437ToAscii(cell.glyph));
                const std::string where = std::to_string(column) + "," + std::to_string(row);
                ASSERT_EQ(shown.glyph, glyph) << where;
                ASSERT_EQ(shown.bg, 0) << where << ": not on black";
                if (glyph == U' ') continue;
                const int colour = kColour[static_cast<int>(cell.attr)];
                ASSERT_EQ(shown.fg, sixteen ? colour : colour % 8) << where;
                ASSERT_EQ(shown.bold, !sixteen && colour >= 8) << where;
            }
        }
    }

    TerminalEscapes escapes_;
};

TEST_P(EscapeWriterTest, RandomPicturesFrameAfterFrameAreShownExactly) {
    std::mt19937 random(11);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const unsigned char glyphs[] = {' ',  ' ',  ' ',  'A',  '7',  '.',  'o', 0xDB,
                                    0xB0, 0xB2, 0xCD, 0xBA, 0xC9, 0xFE, 0x00};
    ScreenModel model;
    int rows = 33, columns = 104;  // the picture centred, a margin all round
    EscapeWriter writer(escapes_);
    writer.setTerminalSize(rows, columns);
    Emulator terminal(rows, columns, escapes_.backgroundErase);
    for (int frame = 0; frame < 300; ++frame) {
        if (frame == 150) {  // resized: the writer paints the whole new terminal
            rows = 30, columns = 100;
            writer.setTerminalSize(rows, columns);
            terminal = Emulator(rows, columns, escapes_.backgroundErase);
        }
        if (pick(40) == 0) model.clear();
        for (int write = pick(80); write > 0; --write) {
            if (pick(3) == 0) model.moveTo(pick(ScreenModel::kColumns), pick(ScreenModel::kRows));
            model.setAttr(static_cast<Colour>(1 + pick(9)));
            model.write(glyphs[pick(sizeof glyphs)]);
        }
        std::string bytes;
        writer.frame(model, bytes);
        terminal.feed(bytes);
        ASSERT_TRUE(writer.shows(model));
        ASSERT_NO_FATAL_FAILURE(expectShows(terminal, model, writer, rows, columns))
            << "frame " << frame;
    }
}

TEST_P(EscapeWriterTest, SendsNothingThePlayerWouldNotSee) {
    ScreenModel model;
    model.moveTo(10, 5);
    model.setAttr(Colour::Red);
    model.write("ab  ");
    EscapeWriter writer(escapes_);
    writer.setTerminalSize(30, 100);
    std::string bytes;
    writer.frame(model, bytes);

    // The same picture again, then blanks in another colour: nothing to send.
    bytes.clear();
    writer.frame(model, bytes);
    model.moveTo(12, 5);
    model.setAttr(Colour::Blue);
    model.write("  ");
    model.moveTo(50, 20);
    model.write(" ");
    writer.frame(model, bytes);
    EXPECT_EQ(bytes, "");

    // A glyph in the colour in force costs a move and itself, no colour.
    model.moveTo(20, 5);
    model.setAttr(Colour::Red);
    model.write("c");
    writer.frame(model, bytes);
    EXPECT_EQ(bytes.find('m'), std::string::npos) << "a colour set: " << bytes;
    EXPECT_LE(bytes.size(), 8u) << bytes;
    EXPECT_EQ(bytes.back(), 'c');
}

INSTANTIATE_TEST_SUITE_P(Terminals, EscapeWriterTest,
                         ::testing::Values(Terminal{"xterm-256color", true},
                                           Terminal{"tmux-256color", true},
                                           Terminal{"screen", true}, Terminal{"xterm", true},
                                           Terminal{"xterm", false}),
                         [](const auto& info) {
                             std::string name = info.param.type;
                             for (char& c : name) c = std::isalnum(c) ? c : '_';
                             return name + (info.param.unicode ? "" : "_ascii");
                         });

}  // namespace
