#include "kept/WorkJournal.h"

#include <zlib.h>

#include <cstring>
#include <system_error>

namespace {

constexpr char magic[8] = {'V', 'N', 'K', 'E', 'P', 'T', '\r', '\n'};
constexpr char firstMagic[8] = {'V', 'N', 'W', 'O', 'R', 'K', '\r', '\n'};
constexpr std::size_t headerSize = 24; // magic, version, generation, CRC
constexpr std::size_t recordHead = 16; // length, CRC, sequence

std::uint32_t crcOf(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return crc; // zlib answers its initial value for no buffer, whatever came before
    }
    // zlib takes at most 4 GiB at a time; a record is far smaller.
    return static_cast<std::uint32_t>(crc32(crc, data, static_cast<uInt>(size)));
}

void put(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
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

std::uint32_t checksum(std::uint64_t sequence, std::span<const std::uint8_t> payload) {
    std::vector<std::uint8_t> number;
    put(number, sequence, 8);
    const std::uint32_t crc =
        crcOf(static_cast<std::uint32_t>(crc32(0L, Z_NULL, 0)), number.data(), number.size());
    return crcOf(crc, payload.data(), payload.size());
}

std::vector<std::uint8_t> header(std::uint64_t generation) {
    std::vector<std::uint8_t> bytes(magic, magic + sizeof magic);
    put(bytes, WorkJournal::formatVersion, 4);
    put(bytes, generation, 8);
    put(bytes, crcOf(static_cast<std::uint32_t>(crc32(0L, Z_NULL, 0)), bytes.data() + 8, 12), 4);
    return bytes;
}

std::vector<std::uint8_t> frame(std::uint64_t sequence, std::span<const std::uint8_t> payload) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(recordHead + payload.size());
    put(bytes, payload.size(), 4);
    put(bytes, checksum(sequence, payload), 4);
    put(bytes, sequence, 8);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

// Reads exactly `size` bytes unless the file ends or fails first.
bool readFully(WorkFiles& files, int handle, std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const long n = files.read(handle, data, size);
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Opens a journal and reads its header; -1 with contents.error when it is none.
int openJournal(WorkFiles& files, const std::filesystem::path& path,
                WorkJournal::Contents& contents) {
    const int handle = files.openRead(path, contents.error);
    if (handle < 0) {
        return -1;
    }
    std::uint8_t head[headerSize];
    const std::size_t got = readFully(files, handle, head, 8) ? 8 : 0;
    if (got == 8 && std::memcmp(head, firstMagic, 8) == 0) {
        contents.readable = true;
        contents.version = 1;
        contents.goodEnd = 8;
        return handle;
    }
    if (got != 8 || std::memcmp(head, magic, 8) != 0 ||
        !readFully(files, handle, head + 8, headerSize - 8) ||
        get(head + 20, 4) !=
            crcOf(static_cast<std::uint32_t>(crc32(0L, Z_NULL, 0)), head + 8, 12)) {
        contents.error = "not a journal of this editor";
        files.close(handle);
        return -1;
    }
    contents.version = static_cast<std::uint32_t>(get(head + 8, 4));
    contents.generation = get(head + 12, 8);
    contents.goodEnd = headerSize;
    if (contents.version > WorkJournal::formatVersion) {
        contents.error = "written by a newer version of the editor (format " +
                         std::to_string(contents.version) + ")";
        files.close(handle);
        return -1;
    }
    contents.readable = true;
    return handle;
}

} // namespace

WorkJournal::Contents WorkJournal::readHeader(WorkFiles& files, const std::filesystem::path& path) {
    Contents contents;
    const int handle = openJournal(files, path, contents);
    if (handle >= 0) {
        files.close(handle);
    }
    return contents;
}

WorkJournal::Contents WorkJournal::read(WorkFiles& files, const std::filesystem::path& path,
                                        const Each& each) {
    Contents contents;
    const int handle = openJournal(files, path, contents);
    if (handle < 0) {
        return contents;
    }
    const std::uint64_t size = files.size(handle);
    // Mapped when it can be (journals are never cut in place, so the mapping stays whole), else
    // read record by record into one buffer, grown as needed and never cleared first.
    const std::uint8_t* mapped = files.map(handle, size);
    std::unique_ptr<std::uint8_t[]> buffer;
    std::uint64_t capacity = 0;
    // Every record moves goodEnd forward by at least its head: the loop ends.
    for (;;) {
        std::uint8_t head[recordHead];
        if (size - contents.goodEnd < recordHead) {
            break;
        }
        if (mapped != nullptr) {
            std::memcpy(head, mapped + contents.goodEnd, sizeof head);
        } else if (!readFully(files, handle, head, sizeof head)) {
            break;
        }
        const std::uint64_t length = get(head, 4);
        if (length > recordLimit || length > size - contents.goodEnd - recordHead) {
            break;
        }
        const std::uint8_t* data =
            mapped != nullptr ? mapped + contents.goodEnd + recordHead : nullptr;
        if (data == nullptr) {
            if (length > capacity) {
                buffer.reset(new std::uint8_t[length]);
                capacity = length;
            }
            if (!readFully(files, handle, buffer.get(), length)) {
                break;
            }
            data = buffer.get();
        }
        const std::uint64_t sequence = get(head + 8, 8);
        const std::span<const std::uint8_t> payload(data, length);
        if (get(head + 4, 4) != checksum(sequence, payload)) {
            break;
        }
        contents.goodEnd += recordHead + length;
        ++contents.records;
        if (!each(sequence, payload)) {
            break;
        }
    }
    if (mapped != nullptr) {
        files.unmap(mapped, size);
    }
    files.close(handle);
    return contents;
}

struct WorkJournal::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable done;
    std::deque<Job> jobs;
    bool stopping = false;
    bool finished = false;
    std::string failure;
    std::atomic<std::uint64_t> durable{0};
    std::atomic<std::uint64_t> compactions{0};
};

// The writer's thread: it owns the open file and shares only `shared` with the journal.
class WorkJournal::Writer {
public:
    Writer(WorkFiles& files, std::shared_ptr<Shared> shared, std::filesystem::path path,
           std::uint64_t generation, std::chrono::milliseconds interval, Compactor compactor,
           std::uint64_t compactPercent)
        : files_(files), shared_(std::move(shared)), path_(std::move(path)),
          generation_(generation), interval_(interval), compactor_(std::move(compactor)),
          compactPercent_(compactPercent) {}

    void run();

private:
    using Clock = std::chrono::steady_clock;
    bool append(const Job& job);
    // A new file beside the journal with the given records, synced, in its place.
    bool replace(const std::vector<Record>& records);
    // The journal read back and replaced by what the compactor makes of it.
    bool compact();
    bool syncNow();
    void fail(const std::string& why);

    WorkFiles& files_;
    std::shared_ptr<Shared> shared_;
    std::filesystem::path path_;
    std::uint64_t generation_;
    std::chrono::milliseconds interval_;
    Compactor compactor_;
    std::uint64_t compactPercent_;
    int handle_ = -1;
    std::uint64_t fileBytes_ = 0;
    std::uint64_t snapshotBytes_ = 0;
    std::uint64_t written_ = 0; // the last sequence written, not yet synced
    bool dirty_ = false;
    bool failed_ = false;
    Clock::time_point lastSync_ = Clock::now();
};

void WorkJournal::Writer::fail(const std::string& why) {
    failed_ = true;
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->failure = why;
    shared_->jobs.clear();
}

bool WorkJournal::Writer::replace(const std::vector<Record>& records) {
    std::vector<std::uint8_t> bytes = header(generation_);
    for (const Record& record : records) {
        const std::vector<std::uint8_t> framed = frame(record.sequence, record.payload);
        bytes.insert(bytes.end(), framed.begin(), framed.end());
    }
    std::string error;
    const int handle = files_.replace(path_, bytes, error);
    if (handle < 0) {
        std::string ignored;
        if (handle_ >= 0 && dirty_ && files_.sync(handle_, ignored)) {
            shared_->durable.store(written_); // the old journal holds everything so far
        }
        fail(error);
        return false;
    }
    if (handle_ >= 0) {
        files_.close(handle_);
    }
    handle_ = handle;
    fileBytes_ = bytes.size();
    snapshotBytes_ = records.empty() ? bytes.size() : records.front().payload.size();
    written_ = records.empty() ? written_ : records.back().sequence;
    dirty_ = false;
    shared_->durable.store(written_);
    lastSync_ = Clock::now();
    return true;
}

bool WorkJournal::Writer::compact() {
    std::vector<Record> records;
    // The records are all written: the file reads as the document stands.
    if (!compactor_ || !compactor_(path_, handle_ >= 0, records) || records.empty() ||
        (handle_ >= 0 && records.back().sequence != written_)) {
        return false;
    }
    return replace(records);
}

bool WorkJournal::Writer::append(const Job& job) {
    const std::vector<std::uint8_t> bytes = frame(job.sequence, job.payload);
    std::string error;
    if (handle_ < 0 || !files_.write(handle_, bytes.data(), bytes.size(), error)) {
        fail(handle_ < 0 ? "the journal is not open" : error);
        return false;
    }
    fileBytes_ += bytes.size();
    written_ = job.sequence;
    dirty_ = true;
    return true;
}

bool WorkJournal::Writer::syncNow() {
    std::string error;
    if (!files_.sync(handle_, error)) {
        fail(error);
        return false;
    }
    shared_->durable.store(written_);
    lastSync_ = Clock::now();
    dirty_ = false;
    return true;
}

void WorkJournal::Writer::run() {
    Shared& s = *shared_;
    for (;;) {
        std::deque<Job> jobs;
        bool stopping = false;
        {
            std::unique_lock<std::mutex> lock(s.mutex);
            const auto ready = [&] { return !s.jobs.empty() || s.stopping; };
            if (dirty_) {
                s.wake.wait_until(lock, lastSync_ + interval_, ready);
            } else {
                s.wake.wait(lock, ready);
            }
            jobs.swap(s.jobs);
            stopping = s.stopping;
        }
        for (Job& job : jobs) {
            if (failed_) {
                break;
            }
            switch (job.kind) {
            case Job::Kind::run:
                job.work();
                break;
            case Job::Kind::append:
                append(job);
                break;
            case Job::Kind::replace:
                replace({{job.sequence, std::move(job.payload)}});
                break;
            case Job::Kind::compact:
                if (handle_ < 0) {
                    // A state taken over: its journal begins anew from what it holds.
                    if (!compact() && !failed_) {
                        fail("the kept work taken over does not read");
                    }
                    break;
                }
                if (dirty_) {
                    syncNow(); // what is written is safe before the compaction begins
                }
                if (!failed_ && compact()) {
                    s.compactions.fetch_add(1);
                }
                break;
            case Job::Kind::sync:
                if (dirty_) {
                    syncNow();
                }
                break;
            }
        }
        if (!failed_ && compactor_ && snapshotBytes_ > 0 &&
            fileBytes_ * 100 > compactPercent_ * snapshotBytes_) {
            if (compact()) {
                s.compactions.fetch_add(1);
            } else if (!failed_) {
                snapshotBytes_ = fileBytes_; // not again before it has grown as much
            }
        }
        if (dirty_ && !failed_ && (stopping || Clock::now() - lastSync_ >= interval_)) {
            syncNow();
        }
        if (stopping || failed_) {
            std::unique_lock<std::mutex> lock(s.mutex);
            if (s.jobs.empty() || failed_) {
                if (handle_ >= 0) {
                    files_.close(handle_);
                    handle_ = -1;
                }
                s.finished = true;
                s.done.notify_all();
                return;
            }
        }
    }
}

WorkJournal::WorkJournal(WorkFiles& files) : files_(files), shared_(std::make_shared<Shared>()) {}

WorkJournal::~WorkJournal() {
    finish(std::chrono::milliseconds(2000));
}

void WorkJournal::begin(const std::filesystem::path& path, std::uint64_t generation,
                        std::uint64_t sequence, std::vector<std::uint8_t> snapshot) {
    start(path, generation, {Job::Kind::replace, sequence, std::move(snapshot), {}});
}

void WorkJournal::takeOver(const std::filesystem::path& path, std::uint64_t generation) {
    start(path, generation, {Job::Kind::compact, 0, {}, {}});
}

void WorkJournal::start(const std::filesystem::path& path, std::uint64_t generation, Job first) {
    finish(std::chrono::milliseconds(2000));
    shared_ = std::make_shared<Shared>();
    shared_->jobs.push_back(std::move(first));
    auto writer = std::make_shared<Writer>(files_, shared_, path, generation, syncInterval_,
                                           compactor_, compactPercent_);
    try {
        thread_ = std::thread([writer] { writer->run(); });
    } catch (const std::system_error& e) {
        shared_->finished = true;
        shared_->failure = std::string("cannot start the writing thread: ") + e.what();
    }
}

std::uint64_t WorkJournal::durable() const {
    return shared_->durable.load();
}

std::uint64_t WorkJournal::compactions() const {
    return shared_->compactions.load();
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

void WorkJournal::sync() {
    push({Job::Kind::sync, 0, {}, {}});
}

void WorkJournal::compact() {
    push({Job::Kind::compact, 0, {}, {}});
}

void WorkJournal::run(std::function<void()> job) {
    push({Job::Kind::run, 0, {}, std::move(job)});
}

bool WorkJournal::finish(std::chrono::milliseconds limit) {
    if (!thread_.joinable()) {
        return failure().empty();
    }
    std::unique_lock<std::mutex> lock(shared_->mutex);
    shared_->stopping = true;
    shared_->wake.notify_one();
    const bool ended = shared_->done.wait_for(lock, limit, [this] { return shared_->finished; });
    const bool failed = !shared_->failure.empty();
    lock.unlock();
    if (ended) {
        thread_.join();
    } else {
        thread_.detach();
    }
    return ended && !failed;
}
