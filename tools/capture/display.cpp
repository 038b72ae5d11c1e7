// An X display for the offscreen target: the one in DISPLAY when it answers,
// otherwise a private Xvfb that lives as long as this process.
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "tools/capture/capture.h"

namespace {
constexpr int XVFB_START_TIMEOUT_MS = 15000;  // how long Xvfb may take to report its display
pid_t xvfbPid = 0;                            // the private Xvfb, 0 when none was started

void stopPrivateDisplay()
{
    if (xvfbPid <= 0) return;
    kill(xvfbPid, SIGTERM);
    int status = 0;
    waitpid(xvfbPid, &status, 0);
    xvfbPid = 0;
}

int displayAnswers()
{
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') return 0;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return 0;
    XCloseDisplay(display);
    return 1;
}
}  // namespace

int findOnPath(const char* name)
{
    const char* path = std::getenv("PATH");
    if (path == nullptr) return 0;
    std::string dirs = path;
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t colon = dirs.find(':', start);
        if (colon == std::string::npos) colon = dirs.size();
        std::string dir = dirs.substr(start, colon - start);
        if (dir.empty()) dir = ".";
        const std::string candidate = dir + "/" + name;
        struct stat info = {};
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return 1;
        start = colon + 1;
    }
    return 0;
}

int ensureDisplay(std::string* error)
{
    if (displayAnswers()) return 1;
    if (!findOnPath("Xvfb")) {
        *error = "no X display answers (DISPLAY) and Xvfb is not installed";
        return 0;
    }
    int fds[2] = {-1, -1};
    if (pipe(fds) != 0) {
        *error = std::string("cannot start Xvfb: ") + std::strerror(errno);
        return 0;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        *error = std::string("cannot start Xvfb: ") + std::strerror(errno);
        return 0;
    }
    if (pid == 0) {
        // Its own process group, so Ctrl-C at the terminal leaves the display up
        // while the capture finishes its files; it goes when this process does.
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() == 1) _exit(0);  // the capture is already gone
        close(fds[0]);
        const int devNull = open("/dev/null", O_RDWR);
        if (devNull >= 0) {
            dup2(devNull, STDIN_FILENO);
            dup2(devNull, STDOUT_FILENO);
            dup2(devNull, STDERR_FILENO);
        }
        const std::string fd = std::to_string(fds[1]);
        // -noreset: by default the server resets when its last client leaves,
        // and a client that connects during the reset is refused. The probe
        // below is such a last client, and the demo connects right after it.
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    xvfbPid = pid;
    // Xvfb writes the display number it chose, then a newline, once it accepts clients.
    std::string number;
    pollfd waiting = {fds[0], POLLIN, 0};
    while (number.find('\n') == std::string::npos) {
        if (poll(&waiting, 1, XVFB_START_TIMEOUT_MS) <= 0) break;
        char chunk[16] = {};
        const ssize_t got = read(fds[0], chunk, sizeof chunk);
        if (got <= 0) break;
        number.append(chunk, static_cast<size_t>(got));
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos || number.size() < 2) {
        stopPrivateDisplay();
        *error = "no X display answers (DISPLAY) and Xvfb did not start";
        return 0;
    }
    const std::string display = ":" + number.substr(0, number.find('\n'));
    setenv("DISPLAY", display.c_str(), 1);
    if (!displayAnswers()) {
        stopPrivateDisplay();
        *error = "Xvfb started on " + display + " but does not answer";
        return 0;
    }
    return 1;
}
