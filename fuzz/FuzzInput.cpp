#include "FuzzInput.h"

#include <cstdio>
#include <string>
#include <system_error>
#include <unistd.h>

namespace {

std::filesystem::path scratchFolder() {
    std::error_code ec;
    if (std::filesystem::is_directory("/dev/shm", ec)) {
        return "/dev/shm";
    }
    return std::filesystem::temp_directory_path(ec);
}

} // namespace

FuzzInput::FuzzInput(const std::uint8_t* data, std::size_t size)
    : path_(scratchFolder() / ("vaneto-fuzz-" + std::to_string(getpid()) + ".bin")) {
    if (std::FILE* f = std::fopen(path_.c_str(), "wb")) {
        if (size != 0) {
            std::fwrite(data, 1, size, f);
        }
        std::fclose(f);
    }
}

FuzzInput::~FuzzInput() {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
}
