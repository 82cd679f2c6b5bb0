#include "app/WorkJournal.h"

#include <zlib.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace {

constexpr char header[8] = {'V', 'N', 'W', 'O', 'R', 'K', '\r', '\n'};
constexpr std::size_t recordHead = 16; // length, CRC, sequence

std::string systemError(int error) {
    return std::generic_category().message(error);
}

std::uint32_t checksum(std::uint64_t sequence, std::span<const std::uint8_t> payload) {
    std::uint8_t number[8];
    for (int i = 0; i < 8; ++i) {
        number[i] = static_cast<std::uint8_t>(sequence >> (8 * i));
    }
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, number, sizeof number);
    // zlib takes at most 4 GiB at a time; a record is far smaller.
    crc = crc32(crc, payload.data(), static_cast<uInt>(payload.size()));
    return static_cast<std::uint32_t>(crc);
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

std::uint64_t get(const std::uint8_t* p, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = value << 8 | p[i];
    }
    return value;
}

std::vector<std::uint8_t> frame(std::uint64_t sequence, std::span<const std::uint8_t> payload) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(recordHead + payload.size());
    put32(bytes, static_cast<std::uint32_t>(payload.size()));
    put32(bytes, checksum(sequence, payload));
    put32(bytes, static_cast<std::uint32_t>(sequence));
    put32(bytes, static_cast<std::uint32_t>(sequence >> 32));
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

// Writes all of the bytes; false with errno set otherwise.
bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

void syncFolderOf(const std::filesystem::path& path) {
    const int folder = ::open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

} // namespace

struct WorkJournal::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable done;
    std::deque<Job> jobs;
    bool stopping = false;
    bool finished = false;
    std::string failure;
    std::atomic<std::uint64_t> durable{0};
    // The writer's own: the open file and its path.
    int fd = -1;
    std::filesystem::path path;
};

WorkJournal::Contents WorkJournal::read(const std::filesystem::path& path, std::uint64_t limit) {
    Contents contents;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        contents.error = fd < 0 ? systemError(errno) : "not a regular file";
        if (fd >= 0) {
            ::close(fd);
        }
        return contents;
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size > limit) {
        ::close(fd);
        contents.error = "larger than any journal this editor writes";
        return contents;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(got);
    if (bytes.size() < sizeof header || std::memcmp(bytes.data(), header, sizeof header) != 0) {
        contents.error = "not a journal of this editor";
        return contents;
    }
    contents.readable = true;
    std::size_t at = sizeof header;
    // Every record moves `at` forward by at least its head: the loop ends.
    while (bytes.size() - at >= recordHead) {
        const std::uint8_t* p = bytes.data() + at;
        const std::uint64_t length = get(p, 4);
        if (length > bytes.size() - at - recordHead) {
            break;
        }
        const std::uint64_t sequence = get(p + 8, 8);
        const std::span<const std::uint8_t> payload(p + recordHead,
                                                    static_cast<std::size_t>(length));
        if (get(p + 4, 4) != checksum(sequence, payload)) {
            break;
        }
        contents.records.push_back({sequence, {payload.begin(), payload.end()}});
        at += recordHead + static_cast<std::size_t>(length);
    }
    contents.goodEnd = at;
    return contents;
}

WorkJournal::WorkJournal() : shared_(std::make_shared<Shared>()) {}

WorkJournal::~WorkJournal() {
    finish(std::chrono::milliseconds(2000));
}

bool WorkJournal::create(const std::filesystem::path& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = systemError(errno);
        return false;
    }
    if (!writeAll(fd, reinterpret_cast<const std::uint8_t*>(header), sizeof header) ||
        ::fdatasync(fd) != 0) {
        error = systemError(errno);
        ::close(fd);
        return false;
    }
    syncFolderOf(path);
    start(fd, path);
    return true;
}

bool WorkJournal::resume(const std::filesystem::path& path, std::uint64_t goodEnd,
                         std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(goodEnd)) != 0) {
        error = systemError(errno);
        if (fd >= 0) {
            ::close(fd);
        }
        return false;
    }
    start(fd, path);
    return true;
}

void WorkJournal::start(int fd, std::filesystem::path path) {
    if (thread_.joinable()) {
        finish(std::chrono::milliseconds(2000));
        shared_ = std::make_shared<Shared>();
    }
    shared_->fd = fd;
    shared_->path = std::move(path);
    try {
        thread_ =
            std::thread([shared = shared_, interval = syncInterval_] { write(shared, interval); });
    } catch (const std::system_error& e) {
        ::close(fd);
        shared_->fd = -1;
        shared_->finished = true;
        shared_->failure = std::string("cannot start the writing thread: ") + e.what();
    }
}

std::uint64_t WorkJournal::durable() const {
    return shared_->durable.load();
}

std::string WorkJournal::failure() const {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->failure;
}

void WorkJournal::push(Job job) {
    {
        const std::lock_guard<std::mutex> lock(shared_->mutex);
        if (shared_->stopping || shared_->finished || !shared_->failure.empty()) {
            return;
        }
        shared_->jobs.push_back(std::move(job));
    }
    shared_->wake.notify_one();
}

void WorkJournal::append(std::uint64_t sequence, std::vector<std::uint8_t> payload) {
    push({Job::Kind::append, sequence, std::move(payload), {}});
}

void WorkJournal::replace(std::uint64_t sequence, std::vector<std::uint8_t> payload) {
    push({Job::Kind::replace, sequence, std::move(payload), {}});
}

void WorkJournal::run(std::function<void()> job) {
    push({Job::Kind::run, 0, {}, std::move(job)});
}

bool WorkJournal::finish(std::chrono::milliseconds limit) {
    if (!thread_.joinable()) {
        return true;
    }
    std::unique_lock<std::mutex> lock(shared_->mutex);
    shared_->stopping = true;
    shared_->wake.notify_one();
    const bool ended = shared_->done.wait_for(lock, limit, [this] { return shared_->finished; });
    lock.unlock();
    if (ended) {
        thread_.join();
    } else {
        thread_.detach();
    }
    return ended;
}

void WorkJournal::write(const std::shared_ptr<Shared>& shared,
                        std::chrono::milliseconds syncInterval) {
    using Clock = std::chrono::steady_clock;
    Shared& s = *shared;
    Clock::time_point lastSync = Clock::now() - syncInterval;
    std::uint64_t written = 0; // the last sequence written, not yet synced
    bool dirty = false;
    std::string failure;
    const auto fail = [&](const std::string& why) {
        failure = why;
        const std::lock_guard<std::mutex> lock(s.mutex);
        s.failure = why;
        s.jobs.clear();
    };
    for (;;) {
        std::deque<Job> jobs;
        bool stopping = false;
        {
            std::unique_lock<std::mutex> lock(s.mutex);
            const auto ready = [&] { return !s.jobs.empty() || s.stopping; };
            if (dirty) {
                s.wake.wait_until(lock, lastSync + syncInterval, ready);
            } else {
                s.wake.wait(lock, ready);
            }
            jobs.swap(s.jobs);
            stopping = s.stopping;
        }
        for (Job& job : jobs) {
            if (!failure.empty()) {
                break;
            }
            if (job.kind == Job::Kind::run) {
                job.work();
                continue;
            }
            const std::vector<std::uint8_t> bytes = frame(job.sequence, job.payload);
            if (job.kind == Job::Kind::append) {
                if (!writeAll(s.fd, bytes.data(), bytes.size())) {
                    fail(systemError(errno));
                    break;
                }
                written = job.sequence;
                dirty = true;
                continue;
            }
            // The journal replaced: a new file beside it takes its place when it is whole.
            const std::filesystem::path next = s.path.string() + ".new";
            const int fd =
                ::open(next.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600);
            const bool whole =
                fd >= 0 &&
                writeAll(fd, reinterpret_cast<const std::uint8_t*>(header), sizeof header) &&
                writeAll(fd, bytes.data(), bytes.size()) && ::fdatasync(fd) == 0 &&
                ::rename(next.c_str(), s.path.c_str()) == 0;
            if (!whole) {
                // The old journal stays as it was, and the records go on into it.
                if (fd >= 0) {
                    ::close(fd);
                }
                ::unlink(next.c_str());
                continue;
            }
            syncFolderOf(s.path);
            ::close(s.fd);
            s.fd = fd;
            written = job.sequence;
            dirty = false;
            s.durable.store(written);
            lastSync = Clock::now();
        }
        if (dirty && failure.empty() && (stopping || Clock::now() - lastSync >= syncInterval)) {
            if (::fdatasync(s.fd) != 0) {
                fail(systemError(errno));
            } else {
                s.durable.store(written);
            }
            lastSync = Clock::now();
            dirty = false;
        }
        if (stopping || !failure.empty()) {
            std::unique_lock<std::mutex> lock(s.mutex);
            if (s.jobs.empty() || !failure.empty()) {
                ::close(s.fd);
                s.fd = -1;
                s.finished = true;
                s.done.notify_all();
                return;
            }
        }
    }
}
