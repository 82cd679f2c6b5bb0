#include "kept/WorkFolder.h"

#include "kept/WorkJournal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <ctime>
#include <map>
#include <system_error>

namespace {

constexpr const char* stateFiles[] = {".journal", ".mid"};
constexpr const char* allFiles[] = {".journal", ".mid", ".answered", ".journal.new", ".lock"};

bool isStateId(const std::string& id) {
    // yyyymmdd-hhmmss-pid
    return id.size() > 16 && id[8] == '-' && id[15] == '-' &&
           std::all_of(id.begin(), id.end(),
                       [](char c) { return c == '-' || (c >= '0' && c <= '9'); });
}

bool endsWith(const std::string& name, const std::string& ending) {
    return name.size() > ending.size() &&
           name.compare(name.size() - ending.size(), ending.size(), ending) == 0;
}

std::string reason(int code) {
    return std::generic_category().message(code);
}

} // namespace

std::filesystem::path WorkFolder::pathFor(const char* stateHome, const char* home) {
    if (stateHome != nullptr && stateHome[0] == '/') {
        return std::filesystem::path(stateHome) / "vaneto-editor";
    }
    if (home == nullptr || home[0] != '/') {
        return {}; // no home: nowhere to keep the work (prepare says so)
    }
    return std::filesystem::path(home) / ".local/state/vaneto-editor";
}

std::filesystem::path WorkFolder::defaultPath() {
    return pathFor(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
}

WorkFolder::WorkFolder(std::filesystem::path path, WorkFiles& files)
    : path_(std::move(path)), files_(files) {}

WorkFolder::~WorkFolder() {
    release();
}

bool WorkFolder::prepare(std::string& error) {
    if (path_.empty()) {
        error = "neither XDG_STATE_HOME nor HOME names a folder";
        return false;
    }
    std::error_code code;
    std::filesystem::create_directories(path_.parent_path(), code);
    if (::mkdir(path_.c_str(), 0700) != 0 && errno != EEXIST) {
        error = reason(errno);
        return false;
    }
    struct stat info {};
    if (::stat(path_.c_str(), &info) != 0) {
        error = reason(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        error = reason(ENOTDIR);
        return false;
    }
    if (info.st_uid != ::geteuid()) {
        error = "its folder belongs to another user";
        return false;
    }
    if ((info.st_mode & 022) != 0) {
        error = "its folder can be written by others (chmod 700 it)";
        return false;
    }
    if (::access(path_.c_str(), W_OK | X_OK) != 0) {
        error = reason(errno);
        return false;
    }
    return true;
}

std::filesystem::path WorkFolder::file(const std::string& id, const char* extension) const {
    return path_ / (id + extension);
}

std::filesystem::path WorkFolder::journal(const std::string& id) const {
    return file(id, ".journal");
}

std::filesystem::path WorkFolder::bankFile(const std::string& id) const {
    return file(id, ".mid");
}

bool WorkFolder::claim(const std::string& id, std::string& error) {
    if (id == claimed_) {
        return true;
    }
    const int fd =
        ::open(file(id, ".lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = reason(errno);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = "another editor has it open";
        ::close(fd);
        return false;
    }
    release();
    lock_ = fd;
    claimed_ = id;
    return true;
}

bool WorkFolder::claimNew(std::string& error) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = std::string(stamp) + "-" + std::to_string(::getpid());
    // A second state in the same second of the same process gets a suffix.
    for (int n = 0; n < 100; ++n) {
        const std::string id = n == 0 ? base : base + std::to_string(n);
        const int fd = ::open(file(id, ".lock").c_str(),
                              O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        std::error_code code;
        if (fd < 0 || std::filesystem::exists(journal(id), code)) {
            if (fd >= 0) {
                ::close(fd);
            }
            continue;
        }
        ::close(fd);
        return claim(id, error);
    }
    error = "no free name for the state";
    return false;
}

void WorkFolder::release() {
    if (lock_ >= 0) {
        ::close(lock_);
        lock_ = -1;
    }
    claimed_.clear();
}

bool WorkFolder::isRunning(const std::string& id) const {
    if (id == claimed_) {
        return true;
    }
    const int fd = ::open(file(id, ".lock").c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return false; // no lock: nobody runs it
    }
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

std::vector<WorkFolder::State> WorkFolder::states() const {
    std::map<std::string, State> states;
    std::map<std::string, std::uint64_t> bytes;
    std::error_code code;
    for (std::filesystem::directory_iterator it(path_, code), end; !code && it != end;
         it.increment(code)) {
        const std::string name = it->path().filename().string();
        if (!it->is_regular_file(code) || it->is_symlink(code)) {
            continue;
        }
        for (const char* extension : allFiles) {
            if (!endsWith(name, extension)) {
                continue;
            }
            const std::string id = name.substr(0, name.size() - std::string(extension).size());
            if (!isStateId(id)) {
                continue;
            }
            bytes[id] += it->file_size(code);
            if (std::find(std::begin(stateFiles), std::end(stateFiles), std::string(extension)) ==
                std::end(stateFiles)) {
                break;
            }
            auto [at, added] = states.try_emplace(id);
            State& state = at->second;
            if (added) {
                state.id = id;
                state.left = std::filesystem::file_time_type::min();
            }
            state.left = std::max(state.left, it->last_write_time(code));
            state.journal = state.journal || std::string(extension) == ".journal";
            break;
        }
    }
    std::vector<State> result;
    for (auto& [id, state] : states) {
        state.bytes = bytes[id];
        state.running = isRunning(id);
        if (state.journal) {
            const WorkJournal::Contents header = WorkJournal::readHeader(files_, journal(id));
            state.generation = header.generation;
            state.damaged = header.error;
            state.newer = header.version > WorkJournal::formatVersion;
        }
        std::string ignored;
        const int handle = files_.openRead(file(id, ".answered"), ignored);
        if (handle >= 0) {
            char text[24] = {};
            const long n =
                files_.read(handle, reinterpret_cast<std::uint8_t*>(text), sizeof text - 1);
            files_.close(handle);
            std::uint64_t answered = 0;
            state.answered = n > 0 && std::from_chars(text, text + n, answered).ec == std::errc() &&
                             answered >= state.generation;
        }
        result.push_back(std::move(state));
    }
    std::sort(result.begin(), result.end(), [](const State& a, const State& b) {
        if (a.generation != b.generation) {
            return a.generation > b.generation;
        }
        return a.left != b.left ? a.left > b.left : a.id > b.id;
    });
    return result;
}

std::vector<WorkFolder::State> WorkFolder::ended() const {
    std::vector<State> result = states();
    std::erase_if(result, [](const State& state) { return state.running; });
    return result;
}

std::uint64_t WorkFolder::nextGeneration() const {
    std::uint64_t highest = 0;
    for (const State& state : states()) {
        highest = std::max(highest, state.generation);
    }
    return highest + 1;
}

void WorkFolder::answer(const State& state) const {
    const std::string text = std::to_string(state.generation);
    std::string error;
    const int handle =
        files_.replace(file(state.id, ".answered"),
                       {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, error);
    if (handle >= 0) {
        files_.close(handle);
    }
}

std::optional<WorkFolder::State> WorkFolder::find(const std::string& id) const {
    for (State& state : states()) {
        if (state.id == id) {
            return std::move(state);
        }
    }
    return std::nullopt;
}

bool WorkFolder::remove(const std::string& id, std::string& error) const {
    if (isRunning(id)) {
        error = "an editor has it open";
        return false;
    }
    for (const char* extension : allFiles) {
        files_.remove(file(id, extension));
    }
    files_.remove(file(id, ".answered.new"));
    return true;
}

void WorkFolder::removeLeftovers() const {
    std::error_code code;
    std::vector<std::filesystem::path> leftovers;
    for (std::filesystem::directory_iterator it(path_, code), end; !code && it != end;
         it.increment(code)) {
        const std::string name = it->path().filename().string();
        for (const std::string ending : {".journal.new", ".answered.new"}) {
            if (endsWith(name, ending)) {
                const std::string id = name.substr(0, name.size() - ending.size());
                if (isStateId(id) && !isRunning(id)) {
                    leftovers.push_back(it->path());
                }
            }
        }
    }
    // Not while the folder is being read.
    for (const std::filesystem::path& leftover : leftovers) {
        files_.remove(leftover);
    }
}

void WorkFolder::prune(const std::string& keep) const {
    std::vector<State> states = this->states();
    std::uint64_t total = 0;
    for (const State& state : states) {
        total += state.bytes;
    }
    std::size_t count = states.size();
    // The states that may go, in the order they go: answered ones first, each kind oldest first.
    std::erase_if(states, [&](const State& state) {
        return state.running || state.id == keep || !state.damaged.empty() || state.newer;
    });
    const auto answered = std::stable_partition(states.begin(), states.end(),
                                                [](const State& state) { return state.answered; });
    std::reverse(states.begin(), answered);
    std::reverse(answered, states.end());
    std::string error;
    for (const State& state : states) {
        if (count <= keptStates && total <= keptBytes) {
            break;
        }
        remove(state.id, error);
        total -= std::min(total, state.bytes);
        --count;
    }
}
