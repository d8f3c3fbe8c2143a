#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#ifndef _WIN32
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "console/headless/test_console.h"
#include "front/startup.h"

namespace fs = std::filesystem;

namespace {

// The lines of a file, each of which must end in `lineBreak` (by default the text-mode line
// break: CR LF on Windows, LF elsewhere). A line without its break, or a stray CR, makes the list
// empty.
#ifdef _WIN32
std::vector<std::string> linesOf(const fs::path& name, const std::string& lineBreak = "\r\n") {
#else
std::vector<std::string> linesOf(const fs::path& name, const std::string& lineBreak = "\n") {
#endif
    std::ifstream file(name, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t end = bytes.find(lineBreak, at);
        if (end == std::string::npos) return {};
        lines.push_back(bytes.substr(at, end - at));
        if (lines.back().find_first_of("\r\n") != std::string::npos) return {};
        at = end + lineBreak.size();
    }
    return lines;
}

// Starts up in `where`; true if it set the first values, the level's among them, and only hid
// the cursor and cleared.
bool startUpClearsOnly(const fs::path& where) {
    fs::current_path(where);
    testconsole::reset();
    GameState game{.timeLeft = -1};
    game.grid[1][14] = Cell::Floor;
    int selection = 3;
    startUp(game, selection);
    return testconsole::cursorHidden() && testconsole::clearCount() == 1 &&
           testconsole::screen().changeCount() == 1 && selection == 0 && game.timeLeft == 3000 &&
           game.grid[1][14] == Cell::Dot;
}

// Each test runs in a fresh working directory of its own, as the program runs in one.
struct StartUpTest : ::testing::Test {
    StartUpTest() {
        fs::create_directories(dir);
        fs::current_path(dir);
    }
    ~StartUpTest() override {
        fs::current_path(cwd);
        fs::remove_all(dir, ignored);
    }
    const fs::path cwd = fs::current_path();
    const fs::path dir = ::testing::TempDir() + "glyph-" + std::to_string(std::random_device{}());
    std::error_code ignored;
};

// Both help files as in tests/help (trailing blanks of the face picture included), in text mode.
TEST_F(StartUpTest, ReplacesBothHelpFilesAndClears) {
    // Longer copies from an earlier start are cut, not overwritten.
    for (auto name : {kAssistanceFile, kInformationFile})
        std::ofstream(name) << std::string(4000, '#') << '\n';
    EXPECT_TRUE(startUpClearsOnly(dir));
    for (auto name : {kAssistanceFile, kInformationFile}) {
        const auto expected = linesOf(fs::path(GLYPH_HELP_DIR) / name, "\n");
        ASSERT_FALSE(expected.empty()) << name;
        EXPECT_EQ(linesOf(name), expected)
            << name << ": if the change is meant, start the game once in tests/help to write it";
    }
}

// A name that shares its file with another name would carry the help text into that file too.
TEST_F(StartUpTest, HardLinkedNamesAreLeftAlone) {
    std::ofstream("target") << "precious\n";
    fs::create_hard_link("target", kAssistanceFile);
    EXPECT_TRUE(startUpClearsOnly(dir));
    EXPECT_EQ(linesOf("target"), std::vector<std::string>{"precious"});
}

#ifndef _WIN32

// In a child process that gives up root first, as root ignores permission bits.
TEST_F(StartUpTest, UnwritableFilesAreSkippedWithoutAWord) {
    fs::create_directory("locked");
    fs::permissions("locked", fs::perms(0555));
    fs::permissions(dir, fs::perms::all);
    std::ofstream(kAssistanceFile) << "kept\n";
    fs::permissions(kAssistanceFile, fs::perms(0444));
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgroups(0, nullptr) || setgid(65534) || setuid(65534))) _exit(2);
        _exit(startUpClearsOnly(dir / "locked") && startUpClearsOnly(dir) ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "cannot give up root here";
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(fs::is_empty("locked") && fs::exists(kInformationFile));
    EXPECT_EQ(linesOf(kAssistanceFile), std::vector<std::string>{"kept"});
}

// Names that are not plain files are left as they are: a link is not followed (a dangling one
// makes nothing where it points), and a pipe without a reader does not hold start-up.
TEST_F(StartUpTest, LinksAndPipesUnderTheNamesAreLeftAlone) {
    std::ofstream("target") << "precious\n";
    fs::create_symlink("target", kAssistanceFile);
    ASSERT_EQ(mkfifo(kInformationFile, 0600), 0);
    EXPECT_TRUE(startUpClearsOnly(dir));
    fs::remove(kInformationFile), fs::create_symlink("made.txt", kInformationFile);
    EXPECT_TRUE(startUpClearsOnly(dir));
    EXPECT_EQ(linesOf("target"), std::vector<std::string>{"precious"});
    EXPECT_TRUE(fs::is_symlink(kAssistanceFile) && !fs::exists("made.txt"));
}

#endif

}  // namespace
