#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

// The readers under test are file streams: each input goes through a real file, so the fuzzers
// run the same code path as a user's file. The file lives in /dev/shm when it exists.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size);
    ~FuzzInput();

    FuzzInput(const FuzzInput&) = delete;
    FuzzInput& operator=(const FuzzInput&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};
