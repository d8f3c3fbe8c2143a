#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "front/startup.h"
#include "play/game_state.h"
#include "tests/support/test_console.h"

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
const std::string kLineEnd = "\r\n";
#else
const std::string kLineEnd = "\n";
#endif

std::string readBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// The face that ends "Assistance.txt": leading spaces and marks per row, in rows 38 wide.
const std::pair<int, std::string> kFace[] = {
    {29, "####"},           {27, "########"},       {26, "##########"},     {25, "############"},
    {25, "##  ####  ##"},   {24, "###  ####  ###"}, {24, "##############"}, {24, "##############"},
    {24, "#### #### ####"}, {25, "####    ####"},   {25, "############"},   {26, "##########"},
    {27, "########"},       {29, "####"},
};

// The lines of a text file; each must end with a line break, the last one included.
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(kLineEnd, start)) != std::string::npos;
         start = end + kLineEnd.size())
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text after the last line break";
    return lines;
}

bool screenIsBlank() {
    for (int row = 0; row < kConsoleRows; ++row)
        if (testconsole::screen().rowText(row) != std::string(kConsoleColumns, ' ')) return false;
    return true;
}

// Each test runs in a fresh directory of its own, as the program runs in its working directory.
class StartUpTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testconsole::reset();
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / ("glyph-" + std::string(test->name()) + "-" +
                                            std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
        previous_ = fs::current_path();
        fs::current_path(dir_);
    }
    void TearDown() override {
        fs::current_path(previous_);
        std::error_code ignored;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(dir_, ignored);
    }

    fs::path dir_;
    fs::path previous_;
};

TEST_F(StartUpTest, SetsInitialValuesHidesTheCursorAndClearsWithoutDrawing) {
    GameState game;
    game.playerCol = 30;
    game.timeLeft = -1;
    game.aquaDoorOpen = true;
    game.walkersMoveLeft = false;
    int selection = 3;
    putText("old picture");
    startUp(game, selection);
    EXPECT_EQ(selection, 0);
    EXPECT_TRUE(game.playerCol == 4 && game.timeLeft == 3000 && !game.aquaDoorOpen &&
                game.walkersMoveLeft);
    EXPECT_TRUE(testconsole::cursorHidden());
    EXPECT_EQ(testconsole::clearCount(), 1);
    EXPECT_TRUE(screenIsBlank());
}

TEST_F(StartUpTest, HelpFilesAreWrittenByteForByteAndReplacedOnEveryStart) {
    // Longer earlier copies must be cut, not overwritten in place.
    writeBytes(kAssistanceFile, std::string(10000, 'x'));
    writeBytes(kInformationFile, std::string(10000, 'y'));
    GameState game;
    int selection = 0;
    startUp(game, selection);

    const std::string assistance = readBytes(kAssistanceFile);
    const auto lines = splitLines(assistance);
    ASSERT_EQ(lines.size(), 31u);
    EXPECT_EQ(lines[0], "Menu Controls:");
    EXPECT_TRUE(lines[4].empty() && lines[10].empty() && lines[13].empty());
    EXPECT_EQ(lines[11], "Gameplay");
    const std::string blankRow(38, ' ');
    EXPECT_EQ(lines[15],
              "At the end of the game, after you win, you will get your total score in the "
              "game. Total score is your score + remaining * 10 - moves." +
                  blankRow);
    EXPECT_EQ(lines[16], blankRow);
    for (int row = 0; row < 14; ++row) {
        const auto& [leading, marks] = kFace[row];
        EXPECT_EQ(lines[17 + row], (std::string(leading, ' ') + marks + blankRow).substr(0, 38));
    }

    // What the game is, with the place of its documentation at the end; then a credit.
    const std::string information = readBytes(kInformationFile);
    const auto infoLines = splitLines(information);
    ASSERT_EQ(infoLines.size(), 2u);
    EXPECT_EQ(infoLines[0].rfind("Glyph Labyrinth ", 0), 0u);
    EXPECT_NE(infoLines[0].find("command prompt"), std::string::npos);
    EXPECT_NE(infoLines[0].find("More information here:  README.md"), std::string::npos);
    EXPECT_FALSE(infoLines[1].empty());

    startUp(game, selection);
    EXPECT_EQ(readBytes(kAssistanceFile), assistance);
    EXPECT_EQ(readBytes(kInformationFile), information);
}

#ifndef _WIN32

// Root ignores permission bits, so the checks of unwritable files run in a child process that
// gives up root first and works as the user nobody. Reports whether that is possible here.
bool giveUpRoot() {
    return geteuid() != 0 ||
           (setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0);
}

bool canGiveUpRoot() {
    const pid_t child = fork();
    if (child == 0) _exit(giveUpRoot() ? 0 : 1);
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Starts up in the working directory as a user who cannot override permissions, and exits with
// 0 when the console shows nothing but the cleared screen.
[[noreturn]] void startUpWithoutRoot() {
    if (!giveUpRoot()) std::_Exit(2);
    GameState game;
    int selection = 2;
    startUp(game, selection);
    std::_Exit(selection == 0 && testconsole::clearCount() == 1 && screenIsBlank() ? 0 : 1);
}

TEST_F(StartUpTest, UnwritableDirectoryGetsNoFilesAndNoMessage) {
    if (!canGiveUpRoot()) GTEST_SKIP() << "cannot give up root here, so no directory is unwritable";
    fs::permissions(dir_, fs::perms::all & ~(fs::perms::owner_write | fs::perms::group_write |
                                             fs::perms::others_write));
    EXPECT_EXIT(startUpWithoutRoot(), ::testing::ExitedWithCode(0), "^$");
    EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(StartUpTest, ReadOnlyAssistanceIsSkippedAndInformationStillWritten) {
    if (!canGiveUpRoot()) GTEST_SKIP() << "cannot give up root here, so no file is read-only";
    fs::permissions(dir_, fs::perms::all);
    writeBytes(kAssistanceFile, "kept\n");
    fs::permissions(kAssistanceFile, fs::perms::owner_read | fs::perms::others_read);
    EXPECT_EXIT(startUpWithoutRoot(), ::testing::ExitedWithCode(0), "^$");
    EXPECT_EQ(readBytes(kAssistanceFile), "kept\n");
    EXPECT_EQ(splitLines(readBytes(kInformationFile)).size(), 2u);
}

#endif

}  // namespace
