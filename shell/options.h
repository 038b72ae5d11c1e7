// The command line: how the picture reaches the screen and where the asset
// pack is. With no option the demo behaves as it always has: fullscreen at
// 800 x 600, or a window if the viewer agrees, with the pack in the current
// folder (or found, below).
#pragma once

#include <string>
#include <vector>

constexpr int OPTIONS_RUN = 0;   // play with the options read
constexpr int OPTIONS_HELP = 1;  // print the usage and exit 0
constexpr int OPTIONS_BAD = 2;   // one line on stderr and exit 2 (also the exit status)

constexpr int MAX_WINDOW_SCALE = 8;  // --scale 1..8: up to a 6400 x 4800 window

struct DemoOptions {
    int display = 0;     // DISPLAY_ASK, DISPLAY_WINDOWED or DISPLAY_DESKTOP (shell/window.h)
    int scale = 1;       // framed window's size in multiples of 800 x 600
    std::string dataDir; // --data DIR; empty: the pack is looked for
};

extern const char* const USAGE_TEXT;  // what --help prints

// Reads argv[1..argc-1]. On OPTIONS_BAD, *error holds one line saying why.
int parseOptions(int argc, const char* const* argv, DemoOptions* options, std::string* error);

// Whether a folder holds the asset pack (the soundtrack and the loading image).
bool holdsPack(const std::string& dir);
// The folders the pack is looked for in, in order: the current folder, data/
// beside the executable and ../share/vantrel from it (when its folder is
// known), the share folder of the prefix the build was configured for.
std::vector<std::string> packCandidates(const std::string& currentDir, const std::string& executableDir,
                                        const std::string& installedDir);
// The first candidate that holds the pack, or empty.
std::string findPack(const std::vector<std::string>& candidates);
