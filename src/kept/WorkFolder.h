#pragma once

#include "kept/WorkFiles.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The folder where the editor keeps its work: $XDG_STATE_HOME/vaneto-editor when that is an
// absolute path, else ~/.local/state/vaneto-editor. It must be the user's own and closed to
// others (made 0700; files 0600, opened without following links). Each running editor has a
// state of its own, named by when it began and its process ("20261209-140211-4711"):
//
//   <id>.lock         held with flock while an editor runs the state; free once it ended
//   <id>.journal      the journal of its work (its header holds the state's generation)
//   <id>.mid          all seven banks as a bank file, written at each quit
//   <id>.answered     the generation last restored or dismissed from an offer
//   <id>.journal.new  a compaction under way (a leftover once the lock is free)
//
// States are ordered by generation: one higher than any in the folder when a journal is begun
// (a new state, or one taken over), never by file times. Other files are left alone.
class WorkFolder {
public:
    static constexpr std::size_t keptStates = 10;
    static constexpr std::uint64_t keptBytes = std::uint64_t{256} << 20;

    struct State {
        std::string id;
        std::uint64_t generation = 0;
        std::filesystem::file_time_type left; // when its journal (or bank file) was last written
        std::uint64_t bytes = 0;
        bool running = false;  // an editor holds its lock
        bool answered = false; // restored or dismissed at this generation
        bool journal = false;  // it has a journal (else only a bank file)
        std::string damaged;   // why its journal does not read (empty when it does)
        bool newer = false;    // its journal is of a newer format: read and write none of it
    };

    // The folder the environment names.
    static std::filesystem::path defaultPath();
    static std::filesystem::path pathFor(const char* stateHome, const char* home);

    explicit WorkFolder(std::filesystem::path path, WorkFiles& files = WorkFiles::system());
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    WorkFiles& files() const { return files_; }

    // Creates the folder when needed and checks that it is the user's own; false with the
    // reason when it cannot be used.
    bool prepare(std::string& error);
    // Takes a new state for this run (or an ended one, by id) and holds its lock until release.
    bool claimNew(std::string& error);
    bool claim(const std::string& id, std::string& error);
    void release();
    const std::string& claimed() const { return claimed_; }

    // Every state, newest first; ended() those no editor runs.
    std::vector<State> states() const;
    std::vector<State> ended() const;
    // The state of that id, if the folder holds it.
    std::optional<State> find(const std::string& id) const;
    // One higher than the generation of any state in the folder.
    std::uint64_t nextGeneration() const;
    // Marks the state as answered at its generation (a later generation is offered again).
    void answer(const State& state) const;
    // Drops ended states beyond the 10 newest or beyond 256 MiB in all: answered ones first,
    // then the oldest. `keep`, running states and states that do not read are never dropped.
    void prune(const std::string& keep) const;
    // Drops one ended state; false with the reason when an editor holds it.
    bool remove(const std::string& id, std::string& error) const;
    // Compactions that were cut short, of states no editor holds.
    void removeLeftovers() const;

    std::filesystem::path journal(const std::string& id) const;
    std::filesystem::path bankFile(const std::string& id) const;
    // Whether an editor (this one included) holds the state's lock.
    bool isRunning(const std::string& id) const;

private:
    std::filesystem::path file(const std::string& id, const char* extension) const;

    std::filesystem::path path_;
    WorkFiles& files_;
    std::string claimed_;
    int lock_ = -1;
};
