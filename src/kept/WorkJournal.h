#pragma once

#include "kept/WorkFiles.h"

#include <atomic>
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
// a second; the folder is synced whenever a file is renamed into it. A file cut at any byte reads
// back to its last whole record.
//
//   header  "VNKEPT\r\n", u32 format version, u64 generation, u32 CRC-32 of the two
//   record  u32 payload length, u32 CRC-32 of (sequence, payload), u64 sequence, payload
//
// (The first format's header was "VNWORK\r\n" alone: it reads as version 1, generation 0.)
// A journal never changes in place but by appending: it begins, and is compacted, as a new file
// beside it that takes its name once it is whole and synced. Compaction runs on the writer's
// thread when the file passes four times the size of its last snapshot.
//
// Nothing throws. The thread is started by begin and stopped and joined by finish (or the
// destructor).
class WorkJournal {
public:
    static constexpr std::uint32_t formatVersion = 2;
    static constexpr std::chrono::milliseconds defaultSyncInterval{1000};
    // No record of this editor is larger (a snapshot holds at most the history's 64 MiB).
    static constexpr std::uint64_t recordLimit = std::uint64_t{1} << 30;
    static constexpr std::uint64_t compactFactor = 4;

    struct Record {
        std::uint64_t sequence = 0;
        std::vector<std::uint8_t> payload;
    };
    struct Contents {
        bool readable = false; // a journal's header, of a version this editor reads
        std::uint32_t version = 0;
        std::uint64_t generation = 0;
        std::uint64_t records = 0;
        std::uint64_t goodEnd = 0; // the offset after the last whole record
        std::string error;
    };
    // The header alone.
    static Contents readHeader(WorkFiles& files, const std::filesystem::path& path);
    // Hands each whole record to `each`, one at a time, until it answers false or the records
    // end (at a cut, a damaged record or the end of the file). The payload lives until `each`
    // returns.
    using Each = std::function<bool(std::uint64_t sequence, std::span<const std::uint8_t> payload)>;
    static Contents read(WorkFiles& files, const std::filesystem::path& path, const Each& each);

    // Reads the journal at `path` (whose records are all written) and answers the records of
    // the same state in short: a snapshot, and its end when it ended and `keepEnd` asks for it
    // (a state taken over goes on instead); false when it does not read.
    using Compactor = std::function<bool(const std::filesystem::path& path, bool keepEnd,
                                         std::vector<Record>& records)>;

    explicit WorkJournal(WorkFiles& files = WorkFiles::system());
    ~WorkJournal();
    WorkJournal(const WorkJournal&) = delete;
    WorkJournal& operator=(const WorkJournal&) = delete;

    // Starts the writer with a journal at `path` that holds one snapshot (the file there, if
    // any, is replaced once the new one is whole). A journal already open is finished first.
    void begin(const std::filesystem::path& path, std::uint64_t generation, std::uint64_t sequence,
               std::vector<std::uint8_t> snapshot);
    // Starts the writer on the journal at `path` as it stands, compacted by the compactor into
    // a new file of the given generation: a state taken over, without serializing it here.
    void takeOver(const std::filesystem::path& path, std::uint64_t generation);
    bool isOpen() const { return thread_.joinable(); }
    // How often the file is synced at most (before begin).
    void setSyncInterval(std::chrono::milliseconds interval) { syncInterval_ = interval; }
    // Compaction in the background (before begin), when the file passes `percent` of its last
    // snapshot's size; without a compactor the journal only grows.
    void setCompactor(Compactor compactor, std::uint64_t percent = compactFactor * 100) {
        compactor_ = std::move(compactor);
        compactPercent_ = percent;
    }

    void append(std::uint64_t sequence, std::vector<std::uint8_t> payload);
    // What is written so far synced now.
    void sync();
    // The journal compacted now (on the writer's thread, from its own file).
    void compact();
    // Work for the writer's thread after what is queued before it.
    void run(std::function<void()> job);

    // The highest sequence number synced to the disk (0: none yet).
    std::uint64_t durable() const;
    // Why writing stopped ("No space left on device"); empty while all goes well. Once it has
    // stopped, nothing more is written until the next begin.
    std::string failure() const;
    // Compactions done in the background so far.
    std::uint64_t compactions() const;

    // Writes and syncs what is queued, then stops the thread. False when `limit` passed first
    // (the thread is then left to end on its own: the program is ending) or writing failed; the
    // records synced by then are in durable().
    bool finish(std::chrono::milliseconds limit);

private:
    struct Job {
        enum class Kind { append, replace, compact, sync, run } kind = Kind::append;
        std::uint64_t sequence = 0;
        std::vector<std::uint8_t> payload;
        std::function<void()> work;
    };
    struct Shared;
    class Writer;

    void push(Job job);
    void start(const std::filesystem::path& path, std::uint64_t generation, Job first);

    WorkFiles& files_;
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
    std::chrono::milliseconds syncInterval_ = defaultSyncInterval;
    Compactor compactor_;
    std::uint64_t compactPercent_ = compactFactor * 100;
};
