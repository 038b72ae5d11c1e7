// The demo's entry: reads the command line, finds the asset pack and plays the
// whole show with the pack's folder as the working directory.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/platform.h"
#include "shell/demo.h"
#include "shell/options.h"
#include "shell/window.h"

#ifndef VANTREL_INSTALLED_DATA_DIR
#define VANTREL_INSTALLED_DATA_DIR ""
#endif

namespace {
constexpr int EXIT_NO_PACK = 1;  // the pack is nowhere to be found

std::string executableDir()
{
    char path[4096] = {};
    if (!platformExecutablePath(path, sizeof path)) return std::string();
    return std::filesystem::path(path).parent_path().string();
}
}  // namespace

int main(int argc, char** argv)
{
    DemoOptions options;
    std::string error;
    const int parsed = parseOptions(argc, argv, &options, &error);
    if (parsed == OPTIONS_HELP) {
        std::fputs(USAGE_TEXT, stdout);
        return 0;
    }
    if (parsed == OPTIONS_BAD) {
        std::fprintf(stderr, "vantrel: %s (vantrel --help lists the options)\n", error.c_str());
        return OPTIONS_BAD;
    }

    std::error_code ignored;
    const std::string current = std::filesystem::current_path(ignored).string();
    const std::vector<std::string> candidates =
        options.dataDir.empty() ? packCandidates(current, executableDir(), VANTREL_INSTALLED_DATA_DIR)
                                : std::vector<std::string>{options.dataDir};
    const std::string pack = findPack(candidates);
    if (pack.empty()) {
        std::string looked;
        for (const std::string& dir : candidates) looked += (looked.empty() ? "" : ", ") + dir;
        std::fprintf(stderr, "vantrel: no asset pack (Halvo.mp3, maps/, models/) in %s\n", looked.c_str());
        return EXIT_NO_PACK;
    }
    std::filesystem::current_path(pack, ignored);
    if (ignored) {
        std::fprintf(stderr, "vantrel: cannot enter %s (%s)\n", pack.c_str(), ignored.message().c_str());
        return EXIT_NO_PACK;
    }
    displayChoice = options.display;
    windowScale = options.scale;
    return demoMain();
}
