#include "midi/FileGate.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace {

// Empty for a regular file.
std::string kindOf(mode_t mode) {
    if (S_ISREG(mode)) {
        return {};
    }
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a named pipe, not a file";
    }
    if (S_ISSOCK(mode)) {
        return "a socket, not a file";
    }
    return "a device, not a file";
}

} // namespace

int FileGate::open(const std::filesystem::path& path, std::string& reason) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        reason = std::generic_category().message(errno);
        return -1;
    }
    if (reason = kindOf(info.st_mode); !reason.empty()) {
        return -1;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        reason = std::generic_category().message(errno);
        return -1;
    }
    if (::fstat(fd, &info) != 0 || !(reason = kindOf(info.st_mode)).empty()) {
        if (reason.empty()) {
            reason = std::generic_category().message(errno);
        }
        ::close(fd);
        return -1;
    }
    // A regular file's reads never block; the flag goes for whoever reads it as a stream.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool FileGate::mayRead(const std::filesystem::path& path, std::string& reason) {
    const int fd = open(path, reason);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
}
