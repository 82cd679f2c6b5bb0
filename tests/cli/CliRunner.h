#pragma once

// Runs the built `vaneto` program as a user would, in a temporary folder of its own, and makes
// the files it works on (with sox where they are audio).

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace clitest {

using Bytes = std::vector<std::uint8_t>;

struct Run {
    int status = -1; // exit status, or 128 + signal
    std::string out;
    std::string err;
};

inline std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline Bytes readBytes(const std::filesystem::path& path) {
    const std::string text = readText(path);
    return Bytes(text.begin(), text.end());
}

inline void writeBytes(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

class Folder {
public:
    Folder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vaneto-cli-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    const std::filesystem::path& path() const { return path_; }

    // The program with the given arguments, run in this folder; stdin from the given text (a
    // file, so never a terminal).
    Run vaneto(const std::vector<std::string>& arguments, const std::string& input = "") const {
        const std::filesystem::path in = path_ / ".stdin", out = path_ / ".stdout",
                                    err = path_ / ".stderr";
        std::ofstream(in, std::ios::binary) << input;
        Run run;
        const pid_t child = fork();
        if (child == 0) {
            if (chdir(path_.c_str()) != 0) {
                _exit(127);
            }
            const int fds[3] = {open(in.c_str(), O_RDONLY),
                                open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644),
                                open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644)};
            for (int i = 0; i < 3; ++i) {
                dup2(fds[i], i);
            }
            std::vector<char*> argv;
            std::string program = VANETO_CLI;
            argv.push_back(program.data());
            std::vector<std::string> copies = arguments;
            for (std::string& word : copies) {
                argv.push_back(word.data());
            }
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        run.out = readText(out);
        run.err = readText(err);
        std::filesystem::remove(in);
        std::filesystem::remove(out);
        std::filesystem::remove(err);
        return run;
    }

    // sox with the given arguments, in this folder; answers whether it succeeded.
    bool sox(const std::string& arguments) const {
        const std::string command =
            "cd '" + path_.string() + "' && sox " + arguments + " 2>/dev/null";
        return std::system(command.c_str()) == 0;
    }

    // Names of the files in the folder, hidden ones included, sorted.
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path path_;
};

} // namespace clitest
