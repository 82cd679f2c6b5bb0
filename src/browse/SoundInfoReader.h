#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// What the sound browser shows of each file (format, channels, rate, length), read on a thread
// of its own: the rows asked for first go first, and a new folder cancels what is left of the
// old one. Results go to `done` on the reader's thread with the folder's generation, so that a
// late answer for a folder left behind is recognised. Stopped and joined when destroyed.
class SoundInfoReader {
public:
    struct Info {
        std::string format; // "WAV", "FLAC", "MP3", "bank file"; "" when unreadable
        int channels = 0;
        double rate = 0.0;
        double seconds = 0.0;
        std::string error; // why it cannot be read
    };
    using Done = std::function<void(int generation, std::size_t row, Info info)>;

    explicit SoundInfoReader(Done done);
    ~SoundInfoReader();
    SoundInfoReader(const SoundInfoReader&) = delete;
    SoundInfoReader& operator=(const SoundInfoReader&) = delete;

    // A new folder: its files by row (empty paths are skipped); answers its generation.
    int setFolder(std::vector<std::filesystem::path> files);
    // These rows before the rest (the visible ones).
    void prefer(const std::vector<std::size_t>& rows);

    static Info read(const std::filesystem::path& path);

private:
    void run();

    Done done_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::filesystem::path> files_;
    std::vector<bool> asked_;
    std::deque<std::size_t> queue_;
    int generation_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};
