#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// The whole of a (long) audio file at a glance, for choosing which part goes into a bank: per
// column the lowest and highest value of all channels, as a fraction of full scale. The file is
// read from start to end in pieces (WAV, AIFF, or compressed audio as the import decodes it),
// so memory stays the same for any length. No Qt.
class SourceOverview {
public:
    struct Column {
        float low = 0;
        float high = 0;
    };

    std::vector<Column> columns;
    double seconds = 0.0; // the file's length
    double rate = 0.0;
    // Why compute answered false ("" when the user stopped it).
    std::string error;

    // Reads the file into `count` columns; progress(done, total) is called between pieces and
    // answers false to stop early. False when the file is no audio the import reads.
    bool compute(const std::filesystem::path& path, std::size_t count,
                 const std::function<bool(std::uint64_t, std::uint64_t)>& progress = {});
};
