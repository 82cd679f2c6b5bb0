#include "files/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

std::string describe(const std::filesystem::path& path, int code) {
    return "cannot write " + path.string() + ": " + std::strerror(code);
}

} // namespace

AtomicFile::AtomicFile(std::filesystem::path target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() {
    if (pending_) {
        ::unlink(temporary_.c_str());
    }
}

bool AtomicFile::begin(std::string& error) {
    struct stat existing {};
    const bool exists = ::stat(target_.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        error = describe(target_, EISDIR);
        return false;
    }
    const std::filesystem::path folder =
        target_.has_parent_path() ? target_.parent_path() : std::filesystem::path(".");
    const std::string stem = "." + target_.filename().string() + ".";
    int code = EEXIST;
    for (int attempt = 0; attempt < 100 && code == EEXIST; ++attempt) {
        temporary_ = folder / (stem + std::to_string(::getpid()) + "-" + std::to_string(attempt));
        const int fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            if (exists) {
                ::fchmod(fd, existing.st_mode & 07777);
            }
            ::close(fd);
            pending_ = true;
            return true;
        }
        code = errno;
    }
    error = describe(target_, code);
    return false;
}

bool AtomicFile::write(const std::filesystem::path& target, std::string_view content,
                       std::string& error) {
    AtomicFile file(target);
    if (!file.begin(error)) {
        return false;
    }
    std::FILE* stream = std::fopen(file.temporaryPath().c_str(), "wb");
    bool written = stream != nullptr &&
                   std::fwrite(content.data(), 1, content.size(), stream) == content.size();
    written = stream != nullptr && std::fclose(stream) == 0 && written;
    if (!written) {
        error = describe(target, errno != 0 ? errno : EIO);
        return false;
    }
    return file.commit(error);
}

bool AtomicFile::commit(std::string& error) {
    if (!pending_) {
        error = describe(target_, EBADF);
        return false;
    }
    const int fd = ::open(temporary_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        const int code = errno;
        if (fd >= 0) {
            ::close(fd);
        }
        error = describe(target_, code);
        return false;
    }
    ::close(fd);
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        error = describe(target_, errno);
        return false;
    }
    pending_ = false;
    return true;
}
