#include "tests/support/golden_screen.h"

#include <optional>
#include <sstream>

#include "console/cp437.h"

namespace {

constexpr int kCells = ScreenModel::kColumns * ScreenModel::kRows;
constexpr int kMostDifferencesShown = 40;

constexpr const char* kColourNames[] = {"?",      "Blue",   "Green", "Aqua", "Red",
                                        "Purple", "Yellow", "White", "Gray", "Light Blue"};

// A cell as the file shows it: its glyph's UTF-8 bytes and its colour digit, ' ' for none.
struct ShownCell {
    std::string glyph;
    char colour;

    friend bool operator==(const ShownCell&, const ShownCell&) = default;
};

std::string utf8(char32_t code) {
    std::string bytes;
    if (code < 0x80) {
        bytes += static_cast<char>(code);
    } else if (code < 0x800) {
        bytes += static_cast<char>(0xC0 | (code >> 6));
        bytes += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        bytes += static_cast<char>(0xE0 | (code >> 12));
        bytes += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (code & 0x3F));
    }
    return bytes;
}

// A blank cell shows nothing, whatever attribute it was written in.
bool blank(const ScreenCell& cell) {
    return cell.glyph == ' ' || cell.glyph == '\0';
}

std::string rowLabel(int row) {
    return std::string(row < 10 ? "0" : "") + std::to_string(row) + "|";
}

// The cells between the bars of a row, split into UTF-8 characters.
std::vector<std::string> characters(std::string_view line) {
    std::vector<std::string> cells;
    const auto first = line.find('|');
    const auto last = line.rfind('|');
    if (first == std::string_view::npos || last <= first) return cells;
    for (std::size_t at = first + 1; at < last;) {
        const auto lead = static_cast<unsigned char>(line[at]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        cells.emplace_back(line.substr(at, length));
        at += length;
    }
    return cells;
}

// The cells of a golden file, or nothing when it is not one.
std::optional<std::vector<ShownCell>> parse(std::string_view text) {
    std::vector<std::string> lines;
    std::istringstream in{std::string(text)};
    for (std::string line; std::getline(in, line);) lines.push_back(line);

    std::vector<ShownCell> cells(kCells);
    const auto section = [&](std::string_view name, auto store) {
        std::size_t at = 0;
        while (at < lines.size() && lines[at] != name) ++at;
        if (at + ScreenModel::kRows >= lines.size()) return false;
        for (int row = 0; row < ScreenModel::kRows; ++row) {
            const std::vector<std::string> rowCells = characters(lines[at + 1 + row]);
            if (static_cast<int>(rowCells.size()) != ScreenModel::kColumns) return false;
            for (int column = 0; column < ScreenModel::kColumns; ++column)
                store(cells[row * ScreenModel::kColumns + column], rowCells[column]);
        }
        return true;
    };
    const bool whole =
        section("glyphs", [](ShownCell& cell, const std::string& c) { cell.glyph = c; }) &&
        section("colours", [](ShownCell& cell, const std::string& c) { cell.colour = c[0]; });
    if (!whole) return std::nullopt;
    return cells;
}

std::string describe(const ShownCell& cell) {
    if (cell.colour == ' ') return "blank";
    const int colour = cell.colour - '0';
    const bool known = colour >= 1 && colour <= 9;
    return cell.glyph + " in " +
           (known ? kColourNames[colour] : std::string("colour ") + cell.colour);
}

}  // namespace

std::string goldenText(const ScreenModel& screen, std::string_view title) {
    std::string text(title);
    text +=
        "\nEach cell twice: its glyph under \"glyphs\", then its colour under \"colours\": 1 Blue,"
        " 2 Green,\n3 Aqua, 4 Red, 5 Purple, 6 Yellow, 7 White, 8 Gray, 9 Light Blue; blank"
        " where the cell shows nothing.\nglyphs\n";
    for (int row = 0; row < ScreenModel::kRows; ++row) {
        text += rowLabel(row);
        for (int column = 0; column < ScreenModel::kColumns; ++column) {
            const ScreenCell& cell = screen.at(column, row);
            text += blank(cell) ? " " : utf8(cp437ToUnicode(cell.glyph));
        }
        text += "|\n";
    }
    text += "colours\n";
    for (int row = 0; row < ScreenModel::kRows; ++row) {
        text += rowLabel(row);
        for (int column = 0; column < ScreenModel::kColumns; ++column) {
            const ScreenCell& cell = screen.at(column, row);
            text += blank(cell) ? ' ' : static_cast<char>('0' + static_cast<int>(cell.attr));
        }
        text += "|\n";
    }
    return text;
}

std::string cellDifferences(std::string_view expected, std::string_view actual) {
    const auto want = parse(expected);
    const auto got = parse(actual);
    if (!want) return "the expected file is not a golden screen\n";
    if (!got) return "the screen drawn is not a golden screen\n";
    std::string differences;
    int count = 0;
    for (int index = 0; index < kCells; ++index) {
        if ((*want)[index] == (*got)[index]) continue;
        if (++count > kMostDifferencesShown) continue;
        differences += "  (" + std::to_string(index % ScreenModel::kColumns) + "," +
                       std::to_string(index / ScreenModel::kColumns) + ") shows " +
                       describe((*got)[index]) + ", expected " + describe((*want)[index]) + "\n";
    }
    if (count > kMostDifferencesShown)
        differences += "  and " + std::to_string(count - kMostDifferencesShown) + " cells more\n";
    return differences;
}
