#include "console/headless/recording_console.h"

#include "console/terminal/curses.h"

#include <string>

#include "console/console_primitives.h"
#include "console/services.h"

namespace {

struct Recording {
    ScreenModel model;
    TerminalEscapes escapes;
    std::array<std::string, 256> glyphs;
    std::array<std::string, 16> colours;
    std::size_t naive = 0;
    int cursorColumn = -1, cursorRow = -1;  // the naive terminal's
    int colour = -1;
    long long clockMs = 0;
    void (*presenter)(const ScreenModel&) = nullptr;
};

Recording recorder;

// Console attribute -> terminal colour on a terminal with 16 colours.
constexpr int kTerminalColour[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};

std::string expand(const std::string& templ, int first, int second = 0) {
    const char* text = tiparm(templ.c_str(), first, second);
    return text != nullptr ? text : "";
}

void record(unsigned char byte) {
    const int column = recorder.model.cursorColumn();
    const int row = recorder.model.cursorRow();
    recorder.model.write(byte);
    if (byte == '\n' || byte == '\r' || byte == '\b') return;  // moves, counted at the next glyph
    if (recorder.escapes.cursorAddress.empty()) return;
    if (column != recorder.cursorColumn || row != recorder.cursorRow)
        recorder.naive += expand(recorder.escapes.cursorAddress, row, column).size();
    const int colour = kTerminalColour[static_cast<int>(recorder.model.attr()) & 15];
    if (colour != recorder.colour) {
        recorder.naive += expand(recorder.escapes.foreground, colour).size();
        recorder.colour = colour;
    }
    recorder.naive += recorder.glyphs[byte].size();
    recorder.cursorColumn = column + 1;
    recorder.cursorRow = row;
}

void record(const std::string& text) {
    for (const char c : text) record(static_cast<unsigned char>(c));
}

}  // namespace

namespace recording {

void reset(const TerminalEscapes& escapes) {
    recorder = Recording{};
    recorder.escapes = escapes;
    const EscapeWriter writer(escapes);
    for (int byte = 0; byte < 256; ++byte)
        recorder.glyphs[byte] = writer.glyphBytes(static_cast<unsigned char>(byte));
}

const ScreenModel& screen() {
    return recorder.model;
}

std::size_t naiveBytes() {
    return recorder.naive;
}

void onPause(void (*presenter)(const ScreenModel&)) {
    recorder.presenter = presenter;
}

}  // namespace recording

ConsoleHandle consoleOut = &recorder;

void gotoXY(int column, int row) {
    recorder.model.moveTo(column, row);
}
void setColor(Colour attribute) {
    recorder.model.setAttr(attribute);
}
void clearScreen() {
    recorder.model.clear();
    recorder.naive += recorder.escapes.clear.size();
    recorder.cursorColumn = recorder.cursorRow = 0;
}
void putGlyph(unsigned char code) {
    record(code);
}
void putText(const char* text) {
    record(std::string(text));
}
void putNumber(std::int32_t value) {
    record(std::to_string(value));
}
void typeText(const char* text) {
    for (const char* c = text; *c != '\0'; ++c) {
        record(static_cast<unsigned char>(*c));
        record(0xDB);
        recorder.clockMs += 10;
        record("\b \b");
    }
}
void hideCursor() {}
void pauseMs(int ms) {
    if (recorder.presenter != nullptr) recorder.presenter(recorder.model);
    recorder.clockMs += ms;
}
long long monotonicMs() {
    return recorder.clockMs;
}
bool keyPressed(Key) {
    return false;
}
void playBackgroundSound(const char*) {}
void stopSound() {}
void showHelpFile(const char*) {}
