#pragma once

// The one place where bank files are laid out and read back. Saving and opening banks, in the
// editor and in the command-line tool, go through these functions, so that both write exactly
// the same bytes and accept exactly the same files:
//
//   all banks      format 1, division 24: a conductor track (tempo 120, time signature 4/4,
//                  notice text), then one track per bank 1 ... 7
//   selected bank  format 0: one track holding the conductor events and then the bank's events
//
// A bank's events: track name (the bank name), instrument name, the sample names
// (sequencer-specific), then the bank dump on MIDI channel 0 (announce message and data message,
// delay 6000 ms). Every System Exclusive time runs on across the tracks (absolute time kept).

#include "files/EditorTexts.h"
#include "midi/LoMidiEvent.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

class DvVaneto;
class LoMidiFileReader;
class LoMidiFileWriter;

class BankFile {
public:
    static constexpr std::uint16_t division = 24;
    static constexpr std::uint16_t tempo = 120;
    static constexpr std::string_view noticeText = "Made with VanetoEditor";
    static constexpr const char* wrongFormatCaption = EditorTexts::wrongFormatCaption;
    static constexpr const char* wrongFormatText =
        "This file contains no sound bank(s)\nfor a Tiruk Vaneto.";

    // Tempo, time signature and notice text, each with delay 0.
    static LoMidiEventList conductorEvents();
    // Appends a bank's five events: meta events 03, 04 and 7F, then its dump on channel 0.
    static void appendBankTrack(LoMidiEventList& list, const DvVaneto& store, int bank);
    // Writes the tracks of the given banks to a freshly started writer: one bank alone in the
    // one-track layout, several after a conductor track.
    static void writeTracks(LoMidiFileWriter& writer, const DvVaneto& store,
                            const std::vector<int>& banks);
    // Writes a whole bank file through a temporary file that replaces path only when every
    // byte was written; an existing file stays unchanged on failure. Answers false with a
    // message in error.
    static bool save(const std::filesystem::path& path, const DvVaneto& store, int selectedBank,
                     std::string& error);
    // The same for the given banks: one bank in the one-track layout, several after a conductor
    // track, in ascending order.
    static bool save(const std::filesystem::path& path, const DvVaneto& store,
                     std::vector<int> banks, std::string& error);

    enum class ReadResult {
        ok,
        cannotOpen,  // the file could not be opened
        notMidiFile, // it does not begin with a MIDI header chunk
        wrongFormat, // a track's System Exclusive data is not a bank dump of this synthesizer
        badBank,     // a track names a bank beyond the seventh
    };
    struct Track {
        int bank = -1; // 0 ... 6
        LoMidiEventList events;
    };
    // Every bank track of a file in file order; tracks without System Exclusive messages (the
    // conductor track) are left out. trackCount is the number of tracks the header states.
    // Nothing is returned unless the whole file reads as bank tracks.
    static ReadResult read(const std::filesystem::path& path, std::vector<Track>& tracks,
                           int& trackCount);
    // The same from a reader already open on a MIDI file, read from its first track on.
    static ReadResult readTracks(LoMidiFileReader& reader, std::vector<Track>& tracks);
    // Reads a file and loads each bank track into the bank it names. On any result but ok no
    // bank changes. loadedBanks receives the bank of each track in file order.
    static ReadResult load(const std::filesystem::path& path, DvVaneto& store,
                           std::vector<int>& loadedBanks);
    // For the command-line tool, which names a damaged file instead of refusing it: where the
    // reading stopped early (a track cut short or damaged inside, or fewer tracks than the
    // header states). stoppedAt is the 1-based track, 0 when the file read to its end.
    struct Damage {
        int trackCount = 0;
        int stoppedAt = 0;
    };
    // Like read, but keeps the bank tracks read whole before the reading stopped early.
    static ReadResult readIntact(const std::filesystem::path& path, std::vector<Track>& tracks,
                                 Damage& damage);
    // "FILE is damaged: reading stopped at track 8 of 8; banks read whole: 1, 2, 3"
    static std::string describeDamage(const std::filesystem::path& path, const Damage& damage,
                                      const std::vector<Track>& tracks);
    // A line of text for a result other than ok; the file is named by its path.
    static std::string describe(ReadResult result, const std::filesystem::path& path);

private:
    // Identifies a track: appends it to tracks when it carries a bank, answers wrongFormat or
    // badBank when it carries something else, ok otherwise.
    static ReadResult addTrack(LoMidiEventList&& events, std::vector<Track>& tracks);
};
