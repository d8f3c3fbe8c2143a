// Showing a help file: the player's own editor or viewer runs on the terminal, and the game waits.

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "console/services.h"
#include "console/terminal/borrower.h"
#include "console/terminal/presenter.h"
#include "console/terminal/terminal_session.h"

namespace {

bool isExecutable(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

// Where the command is found as a shell would find it; empty where it is not.
std::string findCommand(const std::string& command) {
    if (command.find('/') != std::string::npos) return isExecutable(command) ? command : "";
    const char* path = std::getenv("PATH");
    std::stringstream directories(path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin");
    std::string directory;
    while (std::getline(directories, directory, ':')) {
        const std::string candidate = (directory.empty() ? "." : directory) + "/" + command;
        if (isExecutable(candidate)) return candidate;
    }
    return "";
}

// A variable holding only a command and plain words runs without a shell; anything a shell would
// interpret (quotes, variables, redirections) is left to one.
bool isPlainCommand(const std::string& value) {
    for (const char c : value) {
        const bool plain = std::isalnum(static_cast<unsigned char>(c)) != 0 ||
                           std::string_view(" \t_./,:=+@%-").find(c) != std::string_view::npos;
        if (!plain) return false;
    }
    return true;
}

std::vector<std::string> splitWords(const std::string& value) {
    std::vector<std::string> words;
    std::stringstream stream(value);
    std::string word;
    while (stream >> word) words.push_back(word);
    return words;
}

// The command line for the viewer, without the file: $VISUAL, $EDITOR, then the usual editors
// and pager; empty when there is none.
std::vector<std::string> findViewer() {
    for (const char* variable : {"VISUAL", "EDITOR"}) {
        const char* value = std::getenv(variable);
        if (value == nullptr) continue;
        const std::string command(value);
        if (isPlainCommand(command)) {
            std::vector<std::string> words = splitWords(command);
            if (!words.empty() && !findCommand(words.front()).empty()) return words;
        } else if (!splitWords(command).empty()) {
            return {"/bin/sh", "-c", command + " \"$1\"", "sh"};
        }
    }
    for (const char* command : {"sensible-editor", "nano", "vi", "less"}) {
        if (!findCommand(command).empty()) return {command};
    }
    return {};
}

}  // namespace

void showHelpFile(const char* fileName) {
    std::vector<std::string> command = findViewer();
    if (command.empty()) return;  // no viewer: nothing to show, nothing to say
    command.emplace_back(fileName);
    const std::string program = findCommand(command.front());

    terminal::start();
    terminal::presentScreen();
    terminal::handOver();
    terminal::runBorrower(program, command);
    terminal::takeBack();
    terminal::repaintScreen();
}
