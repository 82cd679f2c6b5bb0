#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

// The file operations of the kept work, in one small layer that a test can replace (to fill the
// disk, or to record every write, sync and rename and cut the power between them). Paths are
// opened without following a link; new files are made exclusively (0600), never over a file
// that is there. A handle is a small number, -1 for none. Every failure answers false (or -1)
// with the reason in `error`.
class WorkFiles {
public:
    virtual ~WorkFiles() = default;

    // The system's own files.
    static WorkFiles& system();

    virtual int openRead(const std::filesystem::path& path, std::string& error) = 0;
    // A new file for appending; fails when the name is taken.
    virtual int create(const std::filesystem::path& path, std::string& error) = 0;
    // Up to `size` bytes; 0 at the end, -1 on an error.
    virtual long read(int handle, std::uint8_t* data, std::size_t size) = 0;
    virtual bool write(int handle, const std::uint8_t* data, std::size_t size,
                       std::string& error) = 0;
    // The file's content on the disk (its data; its name is the folder's business).
    virtual bool sync(int handle, std::string& error) = 0;
    virtual void close(int handle) = 0;
    virtual std::uint64_t size(int handle) = 0;
    // The first `size` bytes of a file open for reading, mapped read-only; null when it cannot
    // be (the caller then reads). unmap gives the mapping back.
    virtual const std::uint8_t* map(int handle, std::uint64_t size) = 0;
    virtual void unmap(const std::uint8_t* data, std::uint64_t size) = 0;
    // Replaces `to` by `from` in one step.
    virtual bool rename(const std::filesystem::path& from, const std::filesystem::path& to,
                        std::string& error) = 0;
    virtual void remove(const std::filesystem::path& path) = 0;
    // The names in the folder on the disk.
    virtual void syncFolder(const std::filesystem::path& folder) = 0;

    // `bytes` as a new file beside `target` (target.new, a leftover of an earlier try removed
    // first), synced, renamed over `target`, the folder synced: `target` is whole, old or new, at
    // every moment. Answers the new file's handle, still open for appending; -1 with the reason,
    // `target` as it was.
    int replace(const std::filesystem::path& target, std::span<const std::uint8_t> bytes,
                std::string& error);
};
