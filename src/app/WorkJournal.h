#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

// An append-only file of records, each with its sequence number and a CRC-32, written by a
// thread of its own so that the caller never waits for the disk. The file is synced at most once
// a second; the folder is synced whenever a file is created or renamed into it. A file cut at any
// byte reads back to its last whole record.
//
//   header  "VNWORK\r\n"
//   record  u32 payload length, u32 CRC-32 of (sequence, payload), u64 sequence, payload
//
// Nothing throws. The thread is started by create or resume and stopped and joined by finish
// (or the destructor).
class WorkJournal {
public:
    static constexpr std::chrono::milliseconds defaultSyncInterval{1000};

    struct Record {
        std::uint64_t sequence = 0;
        std::vector<std::uint8_t> payload;
    };
    struct Contents {
        bool readable = false; // a journal's header; the records that follow it read whole
        std::vector<Record> records;
        std::uint64_t goodEnd = 0; // the offset after the last whole record
        std::string error;
    };
    // Reads a journal of at most `limit` bytes.
    static Contents read(const std::filesystem::path& path, std::uint64_t limit);

    WorkJournal();
    ~WorkJournal();
    WorkJournal(const WorkJournal&) = delete;
    WorkJournal& operator=(const WorkJournal&) = delete;

    // A new journal (an existing file is replaced), its header on disk before this answers.
    bool create(const std::filesystem::path& path, std::string& error);
    // An existing journal continued after its last whole record (what follows is cut off).
    bool resume(const std::filesystem::path& path, std::uint64_t goodEnd, std::string& error);
    bool isOpen() const { return thread_.joinable(); }
    // How often the file is synced at most (before create or resume).
    void setSyncInterval(std::chrono::milliseconds interval) { syncInterval_ = interval; }

    void append(std::uint64_t sequence, std::vector<std::uint8_t> payload);
    // The journal replaced by one record: written beside it, synced, renamed over it.
    void replace(std::uint64_t sequence, std::vector<std::uint8_t> payload);
    // Work for the writer's thread after what is queued before it.
    void run(std::function<void()> job);

    // The highest sequence number synced to the disk (0: none yet).
    std::uint64_t durable() const;
    // Why writing stopped ("No space left on device"); empty while all goes well.
    std::string failure() const;

    // Writes and syncs what is queued, then stops the thread. False when `limit` passed first:
    // the thread is then left to end on its own (the program is ending) and nothing more is
    // written after it.
    bool finish(std::chrono::milliseconds limit);

private:
    struct Job {
        enum class Kind { append, replace, run } kind = Kind::append;
        std::uint64_t sequence = 0;
        std::vector<std::uint8_t> payload;
        std::function<void()> work;
    };
    struct Shared;

    void start(int fd, std::filesystem::path path);
    void push(Job job);
    // The writer's thread: it owns the file and shares only `shared` with the journal.
    static void write(const std::shared_ptr<Shared>& shared,
                      std::chrono::milliseconds syncInterval);

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
    std::chrono::milliseconds syncInterval_ = defaultSyncInterval;
};
