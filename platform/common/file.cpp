// Opening the demo's files. The file is opened without blocking (a FIFO with
// no writer would otherwise hold the open itself), then checked with fstat
// before a single byte is read.
#include "platform/platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::FILE* platformOpenRegularFile(const char* path, size_t* size)
{
    if (path == nullptr) return nullptr;
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    // Regular files never block; reads go on as usual.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        ::close(fd);
        return nullptr;
    }
    if (size != nullptr) *size = static_cast<size_t>(info.st_size);
    return file;
}

int platformExecutablePath(char* buffer, size_t size)
{
    if (buffer == nullptr || size < 2) return 0;
    const ssize_t length = ::readlink("/proc/self/exe", buffer, size - 1);
    if (length <= 0) return 0;
    buffer[length] = '\0';
    return 1;
}
