#include "app/WorkFolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <system_error>

namespace {

constexpr const char* extensions[] = {".journal", ".mid", ".lock"};

bool isStateId(const std::string& id) {
    // yyyymmdd-hhmmss-pid
    return id.size() > 16 && id[8] == '-' && id[15] == '-' &&
           std::all_of(id.begin(), id.end(),
                       [](char c) { return c == '-' || (c >= '0' && c <= '9'); });
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

WorkFolder::WorkFolder(std::filesystem::path path) : path_(std::move(path)) {}

WorkFolder::~WorkFolder() {
    release();
}

bool WorkFolder::prepare(std::string& error) {
    if (path_.empty()) {
        error = "neither XDG_STATE_HOME nor HOME names a folder";
        return false;
    }
    std::error_code code;
    std::filesystem::create_directories(path_, code);
    if (code) {
        error = code.message();
        return false;
    }
    ::chmod(path_.c_str(), 0700);
    if (::access(path_.c_str(), W_OK | X_OK) != 0) {
        error = std::generic_category().message(errno);
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
    const int fd = ::open(file(id, ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = std::generic_category().message(errno);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = "another editor has it";
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
        std::error_code code;
        if (!std::filesystem::exists(file(id, ".lock"), code) &&
            !std::filesystem::exists(journal(id), code)) {
            return claim(id, error);
        }
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
    const int fd = ::open(file(id, ".lock").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false; // no lock: nobody runs it
    }
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

std::vector<WorkFolder::State> WorkFolder::ended() const {
    std::map<std::string, State> states;
    std::error_code code;
    for (std::filesystem::directory_iterator it(path_, code), end; !code && it != end;
         it.increment(code)) {
        const std::string name = it->path().filename().string();
        for (const char* extension : extensions) {
            const std::string ext = extension;
            if (name.size() <= ext.size() ||
                name.compare(name.size() - ext.size(), ext.size(), ext) != 0) {
                continue;
            }
            const std::string id = name.substr(0, name.size() - ext.size());
            if (!isStateId(id) || !it->is_regular_file(code)) {
                continue;
            }
            auto [at, added] = states.try_emplace(id);
            State& state = at->second;
            if (added) {
                state.id = id;
                state.left = std::filesystem::file_time_type::min(); // none yet
            }
            state.bytes += it->file_size(code);
            if (ext != ".lock") {
                state.left = std::max(state.left, it->last_write_time(code));
            }
        }
    }
    std::vector<State> result;
    for (auto& [id, state] : states) {
        if (state.left != std::filesystem::file_time_type::min() && !isRunning(id)) {
            result.push_back(state);
        }
    }
    std::sort(result.begin(), result.end(), [](const State& a, const State& b) {
        return a.left != b.left ? a.left > b.left : a.id > b.id;
    });
    return result;
}

void WorkFolder::prune(const std::string& keep) const {
    const std::vector<State> states = ended();
    std::uint64_t total = 0;
    std::error_code code;
    for (std::filesystem::directory_iterator it(path_, code), end; !code && it != end;
         it.increment(code)) {
        if (it->is_regular_file(code)) {
            total += it->file_size(code);
        }
    }
    // Oldest first, until both limits hold.
    std::size_t count = states.size();
    for (auto it = states.rbegin(); it != states.rend(); ++it) {
        if (count <= keptStates && total <= keptBytes) {
            break;
        }
        if (it->id == keep) {
            continue;
        }
        for (const char* extension : extensions) {
            std::filesystem::remove(file(it->id, extension), code);
        }
        total -= std::min(total, it->bytes);
        --count;
    }
}
