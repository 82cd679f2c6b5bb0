#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The folder where the editor keeps its work: $XDG_STATE_HOME/vaneto-editor when that is an
// absolute path, else ~/.local/state/vaneto-editor (mode 0700, files 0600). Each running editor
// has a state of its own, named by when it began and its process ("20261209-140211-4711"):
//
//   <id>.lock     held with flock while an editor runs the state; free once it ended
//   <id>.journal  the journal of its work
//   <id>.mid      all seven banks as a bank file, written at each quit
//
// Other files in the folder are left alone.
class WorkFolder {
public:
    static constexpr std::size_t keptStates = 10;
    static constexpr std::uint64_t keptBytes = std::uint64_t{256} << 20;

    struct State {
        std::string id;
        std::filesystem::file_time_type left; // when its journal (or bank file) was last written
        std::uint64_t bytes = 0;
    };

    // The folder the environment names.
    static std::filesystem::path defaultPath();
    static std::filesystem::path pathFor(const char* stateHome, const char* home);

    explicit WorkFolder(std::filesystem::path path);
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    // Creates the folder when needed; false with the reason when it cannot be used.
    bool prepare(std::string& error);
    // Takes a new state for this run (or an ended one, by id) and holds its lock until release.
    bool claimNew(std::string& error);
    bool claim(const std::string& id, std::string& error);
    void release();
    const std::string& claimed() const { return claimed_; }

    // The states no editor runs, newest first.
    std::vector<State> ended() const;
    // Drops the oldest ended states beyond the 10 newest or beyond 256 MiB in all (every
    // state's files counted); `keep` is never dropped.
    void prune(const std::string& keep) const;

    std::filesystem::path journal(const std::string& id) const;
    std::filesystem::path bankFile(const std::string& id) const;

private:
    std::filesystem::path file(const std::string& id, const char* extension) const;
    // Whether another editor holds the state's lock.
    bool isRunning(const std::string& id) const;

    std::filesystem::path path_;
    std::string claimed_;
    int lock_ = -1;
};
