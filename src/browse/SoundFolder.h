#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

// A folder as the sound browser lists it: its subfolders first, then the files the editor reads
// (the types of its desktop entry: WAV, AIFF, FLAC, Ogg, Opus, MP3 and bank files), each group
// in natural name order, extensions matched without regard to case, hidden entries left out.
class SoundFolder {
public:
    struct Entry {
        std::string name;
        bool folder = false;
        bool bankFile = false; // a MIDI file: opened, not auditioned
    };

    // The entries; false with the reason when the folder cannot be read.
    static bool list(const std::filesystem::path& folder, std::vector<Entry>& entries,
                     std::string& error);
    static bool isSoundFile(const std::string& name);
    static bool isBankFile(const std::string& name);
    // The entries whose names hold `text` (without regard to case), by index; all for "".
    static std::vector<std::size_t> filter(const std::vector<Entry>& entries,
                                           const std::string& text);
};
