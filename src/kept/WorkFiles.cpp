#include "kept/WorkFiles.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace {

std::string reason(int code) {
    return std::generic_category().message(code);
}

class SystemFiles final : public WorkFiles {
public:
    int openRead(const std::filesystem::path& path, std::string& error) override {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        struct stat info {};
        if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
            return fd;
        }
        error = fd < 0 ? reason(errno) : "not a regular file";
        if (fd >= 0) {
            ::close(fd);
        }
        return -1;
    }
    int create(const std::filesystem::path& path, std::string& error) override {
        const int fd = ::open(
            path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            error = reason(errno);
        }
        return fd;
    }
    long read(int handle, std::uint8_t* data, std::size_t size) override {
        for (;;) {
            const ssize_t n = ::read(handle, data, size);
            if (n >= 0 || errno != EINTR) {
                return static_cast<long>(n);
            }
        }
    }
    bool write(int handle, const std::uint8_t* data, std::size_t size,
               std::string& error) override {
        while (size > 0) {
            const ssize_t written = ::write(handle, data, size);
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                error = reason(errno);
                return false;
            }
            data += written;
            size -= static_cast<std::size_t>(written);
        }
        return true;
    }
    bool sync(int handle, std::string& error) override {
        if (::fdatasync(handle) != 0) {
            error = reason(errno);
            return false;
        }
        return true;
    }
    void close(int handle) override { ::close(handle); }
    std::uint64_t size(int handle) override {
        struct stat info {};
        return ::fstat(handle, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
    }
    const std::uint8_t* map(int handle, std::uint64_t size) override {
        if (size == 0) {
            return nullptr;
        }
        // Read ahead and mapped at once: far cheaper than a fault per page.
        void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, handle, 0);
        return data == MAP_FAILED ? nullptr : static_cast<const std::uint8_t*>(data);
    }
    void unmap(const std::uint8_t* data, std::uint64_t size) override {
        ::munmap(const_cast<std::uint8_t*>(data), size);
    }
    bool rename(const std::filesystem::path& from, const std::filesystem::path& to,
                std::string& error) override {
        if (std::rename(from.c_str(), to.c_str()) != 0) {
            error = reason(errno);
            return false;
        }
        return true;
    }
    void remove(const std::filesystem::path& path) override { ::unlink(path.c_str()); }
    void syncFolder(const std::filesystem::path& folder) override {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    }
};

} // namespace

int WorkFiles::replace(const std::filesystem::path& target, std::span<const std::uint8_t> bytes,
                       std::string& error) {
    const std::filesystem::path next = target.string() + ".new";
    remove(next);
    const int handle = create(next, error);
    if (handle < 0) {
        return -1;
    }
    if (!write(handle, bytes.data(), bytes.size(), error) || !sync(handle, error) ||
        !rename(next, target, error)) {
        close(handle);
        remove(next);
        return -1;
    }
    syncFolder(target.parent_path());
    return handle;
}

WorkFiles& WorkFiles::system() {
    static SystemFiles files;
    return files;
}
