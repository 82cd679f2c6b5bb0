#pragma once

#include "midi/LoFileReader.h"
#include "midi/LoMidiEvent.h"
#include "midi/LoVarlength.h"
#include "midi/SysExTiming.h"

#include <cstdint>
#include <filesystem>
#include <sstream>

// Reads back the Standard MIDI Files that LoMidiFileWriter writes: checks the header, then hands
// out the events of one track per readTrack call, each System Exclusive event with its delay in
// milliseconds recovered from its delta time.
//
// Expected layout: "MThd" at offset 0 (its length field is not examined), format, track count
// and division at offset 8, the first chunk at offset 14 and every chunk right after the
// previous one; chunks other than "MTrk" are passed over. A track's events are read from its
// chunk only, each as status, meta type for FF, length, data: only System Exclusive and meta
// events are understood and there is no running status.
//
// Delays, always at 120 beats per minute with the header's division (a division of 0 gives
// delays of 0):
//   first System Exclusive event of a track   ticksToMilliseconds(delta)
//   later System Exclusive events             ticksToMilliseconds(delta - transmission ticks
//                                             of the previous one), 0 if the delta is shorter
//   meta and any other event                  0
//
// Damaged files: nothing is reported and nothing throws. A track's list ends at its
// end-of-track event, at an event that cannot be read completely within the chunk (a length or
// a quantity reaching past its end) or after a System Exclusive event that does not end with F7.
// A track chunk whose length reaches past the end of the file holds the rest of the file and is
// the last one. Once readTrack has returned an empty list it returns nothing more. Every byte of
// the file is read once, no allocation is larger than what the file holds, and reading until an
// empty list always ends. Files of 2 GiB or more are not read at all (isMidiFile() is false).
//
// The caller closes the stream (close(), or destroying the reader).
class LoMidiFileReader : public LoFileReader {
public:
    // A reader without a file; open() opens and parses one.
    LoMidiFileReader();
    // Opens the file at path read-only and parses its header.
    explicit LoMidiFileReader(const std::filesystem::path& path);
    // Parses bytes in memory (which must outlive the reader) exactly as a file of them.
    explicit LoMidiFileReader(std::span<const std::uint8_t> bytes);
    ~LoMidiFileReader() override;

    // True if the file begins with "MThd".
    virtual bool isMidiFile() const;
    // Reads the next event of the current track into midiEvent and sets its delay. The end-of-track
    // event and an event that cannot be read come back empty. Used by readTrack.
    virtual LoMidiEvent& readEvent(LoMidiEvent& midiEvent);
    // Fills list with the events of the next track (the first call: the first track), without
    // the end-of-track event. An empty list means that there is nothing more to read; every
    // further call then returns an empty list too.
    virtual LoMidiEventList& readTrack(LoMidiEventList& list);
    // Opens a file on this reader and parses its header. The reader must not have a file open:
    // the open is then refused and nothing more can be read (isMidiFile() becomes false).
    virtual void open(const std::filesystem::path& path);

    // Whether the last list readTrack handed out ended at its track's end-of-track event (false
    // for a track cut short or damaged inside).
    bool lastTrackWasWhole() const { return lastTrackWhole_; }
    // The header's number of tracks (0 until a header has been read).
    std::uint16_t trackCount() const { return trackCount_; }
    // The header's format and division (0 until a header has been read).
    std::uint16_t format() const { return format_; }
    std::uint16_t division() const { return timing_.division(); }

private:
    void parse();
    // Reads the next "MTrk" chunk from the file position on into chunk_, passing over other
    // chunks; leaves chunk_ empty at the end of the file.
    void readChunk();
    // Back to the state before any header was read.
    void resetState();
    // Leaves the reader with no header and nothing to read.
    void makeUnreadable();
    // The read position; the end of the file once a read has run into it.
    std::int32_t position();

    std::uint32_t chunkId_ = 0;
    std::uint16_t format_ = 0;
    std::uint16_t trackCount_ = 0;
    SysExTiming timing_;
    std::int32_t trackStart_ = 0;
    std::uint32_t trackLength_ = 0;
    std::int32_t fileSize_ = 0;
    bool trackFresh_ = true;
    bool finished_ = false; // an empty list has been handed out
    bool endOfTrackSeen_ = false;
    bool lastTrackWhole_ = false;
    std::istringstream chunk_; // the current track chunk's events
    LoVarlength delta_;        // each event's delta time, read into the same buffer
};
