#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Replaces a file all at once: the content is written to a new temporary file beside the target,
// which takes the target's place by a rename only when everything was written. Until then the
// target stays as it was; a temporary file that is not committed is removed.
class AtomicFile {
public:
    explicit AtomicFile(std::filesystem::path target);
    ~AtomicFile();

    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file (empty, with the target's permissions when the target exists).
    // On failure answers false with a message naming the target in error.
    bool begin(std::string& error);
    const std::filesystem::path& temporaryPath() const { return temporary_; }
    // Flushes the temporary file to the disk and renames it onto the target.
    bool commit(std::string& error);
    // A small file's whole content replaced at once; false with a message naming it otherwise.
    static bool write(const std::filesystem::path& target, std::string_view content,
                      std::string& error);

private:
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    bool pending_ = false;
};
