#include "shell/options.h"

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "shell/window.h"

const char* const USAGE_TEXT =
    "usage: vantrel [--windowed | --fullscreen] [--scale N] [--data DIR] [--help]\n"
    "\n"
    "Plays the demo: an 800 x 600 picture, about 192 seconds, with its soundtrack.\n"
    "With no option the display switches to 800 x 600; where it cannot, the demo\n"
    "asks whether to play in a window instead.\n"
    "  --windowed    a framed window, without switching the display or asking\n"
    "  --fullscreen  the whole screen at the desktop's own resolution, without\n"
    "                switching it: the picture scaled to fit, black bars beside it\n"
    "  --scale N     a window N times 800 x 600 (N from 1 to 8), the same picture scaled\n"
    "  --data DIR    the folder that holds the asset pack (Halvo.mp3, maps/, models/);\n"
    "                without it: the current folder if it holds the pack, else data/\n"
    "                beside the program, else the share/vantrel folder it is installed with\n"
    "  --help        this text\n"
    "Keys: Escape quits, Space skips the scene, Down pauses, Up resumes,\n"
    "Left and Right held seek the music.\n";

namespace {
const char* const PACK_MARKERS[] = {"Halvo.mp3", "maps/loading-vantrel.tga"};  // files every pack has

int bad(std::string* error, const std::string& text)
{
    *error = text;
    return OPTIONS_BAD;
}
}  // namespace

int parseOptions(int argc, const char* const* argv, DemoOptions* options, std::string* error)
{
    *options = DemoOptions{};
    options->display = DISPLAY_ASK;
    int scaleGiven = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") return OPTIONS_HELP;
        if (arg == "--windowed" || arg == "--fullscreen") {
            const int display = arg == "--windowed" ? DISPLAY_WINDOWED : DISPLAY_DESKTOP;
            if (options->display != DISPLAY_ASK && options->display != display)
                return bad(error, "--windowed and --fullscreen exclude each other");
            options->display = display;
        } else if (arg == "--scale") {
            if (!hasValue) return bad(error, "--scale needs a number from 1 to 8");
            const char* text = argv[++i];
            char* end = nullptr;
            const long scale = std::strtol(text, &end, 10);
            if (end == text || *end != '\0' || scale < 1 || scale > MAX_WINDOW_SCALE)
                return bad(error, std::string("--scale needs a number from 1 to 8, not '") + text + "'");
            options->scale = static_cast<int>(scale);
            scaleGiven = 1;
        } else if (arg == "--data") {
            if (!hasValue || argv[i + 1][0] == '\0') return bad(error, "--data needs a folder");
            options->dataDir = argv[++i];
        } else {
            return bad(error, "unknown option '" + arg + "'");
        }
    }
    if (scaleGiven && options->display == DISPLAY_DESKTOP)
        return bad(error, "--scale sizes a window; --fullscreen fills the screen");
    return OPTIONS_RUN;
}

bool holdsPack(const std::string& dir)
{
    for (const char* marker : PACK_MARKERS) {
        std::FILE* file = platformOpenRegularFile((dir + "/" + marker).c_str(), nullptr);
        if (file == nullptr) return false;
        std::fclose(file);
    }
    return true;
}

std::vector<std::string> packCandidates(const std::string& currentDir, const std::string& executableDir,
                                        const std::string& installedDir)
{
    std::vector<std::string> candidates = {currentDir};
    if (!executableDir.empty()) {
        candidates.push_back(executableDir + "/data");
        // Installed under any prefix: PREFIX/bin/vantrel beside PREFIX/share/vantrel.
        candidates.push_back(executableDir + "/../share/vantrel");
    }
    if (!installedDir.empty()) candidates.push_back(installedDir);
    return candidates;
}

std::string findPack(const std::vector<std::string>& candidates)
{
    for (const std::string& dir : candidates)
        if (holdsPack(dir)) return dir;
    return std::string();
}
