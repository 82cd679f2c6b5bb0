#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// The one gate every path is opened through for reading. Only a regular file passes: the path
// is looked at first (a device node is never opened), then opened without blocking, and the
// open descriptor is looked at again, so that a file swapped for a pipe in between is caught.
// Anything else gets a reason, never a hang.
class FileGate {
public:
    // A descriptor of the regular file at `path`, for reading (closed on exec); -1 with the
    // reason otherwise: "a named pipe, not a file", "a folder", "a device", "a socket", or the
    // system's own ("No such file or directory").
    static int open(const std::filesystem::path& path, std::string& reason);
    // Whether `path` names a regular file that can be opened; the reason when not.
    static bool mayRead(const std::filesystem::path& path, std::string& reason);
};
