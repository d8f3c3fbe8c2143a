// Showing a help file: the player's own editor or viewer runs on the terminal, and the game waits.

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "console/services.h"
#include "console/terminal/presenter.h"
#include "console/terminal/terminal_session.h"

extern char** environ;

namespace {

bool isExecutable(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

bool commandExists(const std::string& command) {
    if (command.find('/') != std::string::npos) return isExecutable(command);
    const char* path = std::getenv("PATH");
    std::stringstream directories(path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin");
    std::string directory;
    while (std::getline(directories, directory, ':')) {
        if (isExecutable((directory.empty() ? "." : directory) + "/" + command)) return true;
    }
    return false;
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
            if (!words.empty() && commandExists(words.front())) return words;
        } else if (!splitWords(command).empty()) {
            return {"/bin/sh", "-c", command + " \"$1\"", "sh"};
        }
    }
    for (const char* command : {"sensible-editor", "nano", "vi", "less"}) {
        if (commandExists(command)) return {command};
    }
    return {};
}

// Runs the command and waits for it, as the C library's system() would: the game ignores Ctrl-C
// and Ctrl-\ meanwhile, which are the viewer's to handle.
void runAndWait(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);

    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction oldInterrupt {};
    struct sigaction oldQuit {};
    sigaction(SIGINT, &ignore, &oldInterrupt);
    sigaction(SIGQUIT, &ignore, &oldQuit);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The viewer starts with the signal dispositions of a freshly started program.
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int signal : {SIGINT, SIGQUIT, SIGTSTP, SIGTTIN, SIGTTOU, SIGPIPE}) {
        sigaddset(&defaults, signal);
    }
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t child = 0;
    if (posix_spawnp(&child, argv[0], nullptr, &attributes, argv.data(), environ) == 0) {
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
    posix_spawnattr_destroy(&attributes);
    sigaction(SIGINT, &oldInterrupt, nullptr);
    sigaction(SIGQUIT, &oldQuit, nullptr);
}

}  // namespace

void showHelpFile(const char* fileName) {
    std::vector<std::string> command = findViewer();
    if (command.empty()) return;  // no viewer: nothing to show, nothing to say
    command.emplace_back(fileName);

    terminal::start();
    terminal::presentScreen();
    terminal::handOver();
    runAndWait(command);
    terminal::takeBack();
    terminal::repaintScreen();
}
