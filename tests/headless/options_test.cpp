// The command line and where the pack is found, and how the window choices
// open the window on the headless layer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/demo.h"
#include "shell/options.h"
#include "shell/window.h"
#include "tests/support/support.h"

TEST(Options, EachCommandLineIsReadOrRefused)
{
    struct Case {
        std::vector<const char*> args;  // after the program's name
        int result;
        int display;
        int scale;
        const char* dataDir;
    };
    const Case cases[] = {
        {{}, OPTIONS_RUN, DISPLAY_ASK, 1, ""},
        {{"--windowed"}, OPTIONS_RUN, DISPLAY_WINDOWED, 1, ""},
        {{"--fullscreen"}, OPTIONS_RUN, DISPLAY_DESKTOP, 1, ""},
        {{"--windowed", "--scale", "2"}, OPTIONS_RUN, DISPLAY_WINDOWED, 2, ""},
        {{"--scale", "8"}, OPTIONS_RUN, DISPLAY_ASK, 8, ""},
        {{"--data", "/some/where", "--fullscreen"}, OPTIONS_RUN, DISPLAY_DESKTOP, 1, "/some/where"},
        {{"--windowed", "--windowed"}, OPTIONS_RUN, DISPLAY_WINDOWED, 1, ""},
        {{"--help"}, OPTIONS_HELP, DISPLAY_ASK, 1, ""},
        {{"--windowed", "-h"}, OPTIONS_HELP, DISPLAY_ASK, 1, ""},
        {{"--bogus"}, OPTIONS_BAD, DISPLAY_ASK, 1, ""},
        {{"windowed"}, OPTIONS_BAD, DISPLAY_ASK, 1, ""},
        {{"--scale"}, OPTIONS_BAD, DISPLAY_ASK, 1, ""},
        {{"--scale", "0"}, OPTIONS_BAD, DISPLAY_ASK, 1, ""},
        {{"--scale", "9"}, OPTIONS_BAD, DISPLAY_ASK, 1, ""},
        {{"--scale", "2x"}, OPTIONS_BAD, DISPLAY_ASK, 1, ""},
        {{"--scale", "2", "--fullscreen"}, OPTIONS_BAD, DISPLAY_ASK, 1, ""},
        {{"--windowed", "--fullscreen"}, OPTIONS_BAD, DISPLAY_ASK, 1, ""},
        {{"--data"}, OPTIONS_BAD, DISPLAY_ASK, 1, ""},
        {{"--data", ""}, OPTIONS_BAD, DISPLAY_ASK, 1, ""},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv = {"vantrel"};
        std::string line;
        for (const char* arg : c.args) {
            argv.push_back(arg);
            line += std::string(" ") + arg;
        }
        DemoOptions options;
        std::string error;
        const int result = parseOptions(static_cast<int>(argv.size()), argv.data(), &options, &error);
        EXPECT_EQ(result, c.result) << "vantrel" << line;
        EXPECT_EQ(error.empty(), c.result != OPTIONS_BAD) << "vantrel" << line << ": " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << "one line: " << error;
        if (c.result != OPTIONS_RUN) continue;
        EXPECT_EQ(options.display, c.display) << "vantrel" << line;
        EXPECT_EQ(options.scale, c.scale) << "vantrel" << line;
        EXPECT_EQ(options.dataDir, c.dataDir) << "vantrel" << line;
    }
    EXPECT_NE(std::string(USAGE_TEXT).find("--fullscreen"), std::string::npos);
}

// The current folder first, then data/ beside the program, then share/vantrel
// of its prefix, then the configured share folder; a folder counts only with both the soundtrack and the loading
// image in it.
TEST(Options, ThePackIsTheFirstCandidateThatHoldsIt)
{
    TempDir dir;
    const std::string here = dir.path() + "/here", beside = dir.path() + "/bin", installed = dir.path() + "/share";
    dir.write("here/Halvo.mp3", std::string("not all of a pack"));
    dir.write("bin/data/Halvo.mp3", std::string("x"));
    dir.write("bin/data/maps/loading-vantrel.tga", std::string("x"));
    dir.write("share/Halvo.mp3", std::string("x"));
    dir.write("share/maps/loading-vantrel.tga", std::string("x"));

    const std::vector<std::string> all = packCandidates(here, beside, installed);
    EXPECT_EQ(all, (std::vector<std::string>{here, beside + "/data", beside + "/../share/vantrel", installed}));
    EXPECT_EQ(packCandidates(here, "", installed), (std::vector<std::string>{here, installed}));
    EXPECT_FALSE(holdsPack(here));
    EXPECT_TRUE(holdsPack(beside + "/data"));
    EXPECT_EQ(findPack(all), beside + "/data");
    EXPECT_EQ(findPack({here, installed}), installed);
    EXPECT_EQ(findPack({here}), "");
    dir.write("here/maps/loading-vantrel.tga", std::string("x"));
    EXPECT_EQ(findPack(all), here);
}

namespace {
// Opens the window on the headless layer with a display that cannot switch to 800 x 600.
int openWithChoice(int choice)
{
    displayChoice = choice;
    HeadlessConfig config;
    config.quiet = 1;
    config.displayModeAvailable = 0;
    config.messageBoxAnswer = IDNO;  // a question, if one came, would end the program
    return openHeadlessWindow(config);
}
}  // namespace

TEST(Options, WindowedOpensAFramedWindowWithoutAQuestion)
{
    ASSERT_EQ(openWithChoice(DISPLAY_WINDOWED), 1);
    EXPECT_EQ(headlessMessageBoxCount(), 0);
    EXPECT_EQ(fullscreenMode, 0);
    EXPECT_EQ(headlessWindowFullscreen(), WINDOW_FRAMED);
    EXPECT_EQ(headlessDisplayModeChanged(), 0);
    EXPECT_EQ(headlessCursorHidden(), 0);
    closeMainWindow();
    EXPECT_EQ(headlessDisplayModeRestores(), 0);
}

TEST(Options, FullscreenCoversTheDesktopWithoutChangingItsMode)
{
    ASSERT_EQ(openWithChoice(DISPLAY_DESKTOP), 1);
    EXPECT_EQ(headlessMessageBoxCount(), 0);
    EXPECT_EQ(headlessWindowFullscreen(), WINDOW_DESKTOP);
    EXPECT_EQ(headlessDisplayModeChanged(), 0);
    EXPECT_EQ(headlessCursorHidden(), 1);
    // The demo still draws its 800 x 600 picture with the standard projection.
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 600);
    closeMainWindow();
    EXPECT_EQ(headlessCursorHidden(), 0);
}
