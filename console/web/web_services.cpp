// Background sound through the page's audio element and the help files in an overlay on the page.
//
// The program's files live in the page's memory: the tune is built into the program at
// res/Glyph.wav, the help files are written there at start-up. Both are read back here and handed
// to the page.

#include <emscripten.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "console/services.h"
#include "console/shadow_console.h"
#include "console/web/web_console.h"

namespace {

// ---- The page's side, in the page's script (glyphPage).

EM_JS(void, pageLoadSound, (const char* bytes, int length),
      { glyphPage.sound.load(HEAPU8.slice(bytes, bytes + length)); });

// Starts the tune unless it plays. The page starts nothing before the player has pressed a key
// (browsers refuse sound until then); a start refused anyway is tried again at the next call.
EM_JS(void, pagePlaySound, (), { glyphPage.sound.play(); });

EM_JS(void, pageStopSound, (), { glyphPage.sound.stop(); });

// Shows the text in the help overlay and returns when the player has closed it. A null text
// says that the file could not be read.
EM_ASYNC_JS(void, pageShowHelp, (const char* title, const char* text, int length), {
    await glyphPage.showHelp(UTF8ToString(title), text ? UTF8ToString(text, length) : null);
});

std::optional<std::string> readFile(const char* path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

struct Sound {
    std::string path;  // of the tune handed to the page
    bool loaded = false;
};

Sound sound;

}  // namespace

// The page's files are where the game names them: the tune is built in at the very path the game
// asks for, and nothing is installed anywhere else.
std::string dataFilePath(const char* path) {
    return path;
}

// Asked on every tick: after the first call, one cheap call into the page.
void playBackgroundSound(const char* path) {
    if (sound.path != path) {
        sound.path = path;
        const std::optional<std::string> bytes = readFile(path);
        sound.loaded = bytes && !bytes->empty();
        if (sound.loaded) pageLoadSound(bytes->data(), static_cast<int>(bytes->size()));
    }
    if (sound.loaded) pagePlaySound();
}

void stopSound() {
    if (sound.loaded) pageStopSound();
}

void showHelpFile(const char* fileName) {
    const std::optional<std::string> text = readFile(fileName);
    shadow::present();
    pageShowHelp(fileName, text ? text->c_str() : nullptr,
                 text ? static_cast<int>(text->size()) : 0);
    web::takeKeysBack();
}
