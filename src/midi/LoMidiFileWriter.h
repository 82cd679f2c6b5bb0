#pragma once

#include "midi/LoFileWriter.h"
#include "midi/LoMidiEvent.h"
#include "midi/SysExTiming.h"

#include <cstdint>
#include <filesystem>

// Writes event lists as a Standard MIDI File, one list per track, big-endian throughout:
//
//   offset 0   "MThd", length 6, format (0 with one track, 1 from the second), track count,
//              division (ticks per quarter note)
//   offset 14  "MTrk", length, events (delta time + event in file form), 00 FF 2F 00
//   ...        further "MTrk" chunks, each right after the previous one
//
// The file on disk is complete after the start and after every single event: the end-of-track
// bytes, the track length and the header are rewritten and flushed as events are appended.
//
// Delta times, in ticks (delay ticks = millisecondsToTicks of the event's delay):
//   first System Exclusive event (F0) of a track   delay ticks + totalTicks()
//   later System Exclusive events of the track      delay ticks + transmission ticks of the
//                                                   previous one (bytesToTicks of its length)
//   meta (FF) and any other event                   0
// totalTicks() sums delay and transmission ticks of every System Exclusive event written; it
// carries over to the next track when writeTrack is told to keep absolute time.
//
// Nothing is reported: a file that cannot be created leaves the stream failed and every write is
// lost. Events are written as they are, except that end-of-track events (FF 2F), empty events and
// a lone FF are not written (each still counts as handing the track an event). Negative delays
// count as 0; delta times are capped at 0x0FFFFFFF, the largest a four-byte quantity holds.
//
// The caller closes the stream (close(), or destroying the writer).
class LoMidiFileWriter : public LoFileWriter {
public:
    // A writer without a file; open() starts one.
    LoMidiFileWriter();
    // Creates or truncates the file at path and starts it: header and one empty track.
    LoMidiFileWriter(const std::filesystem::path& path, std::uint16_t division,
                     std::uint16_t tempo);
    ~LoMidiFileWriter() override;

    // Appends one event to the current track.
    virtual void writeEvent(const LoMidiEvent& midiEvent);
    // Starts a new track if the current one has been handed an event, then appends every event
    // of the list. keepAbsoluteTime false resets totalTicks() for the new track.
    virtual void writeTrack(const LoMidiEventList& list, bool keepAbsoluteTime);
    // Opens (creates or truncates) a file on this writer and starts it. The writer must not have
    // a file open: the stream then fails and every write is lost.
    virtual void open(const std::filesystem::path& path, std::uint16_t division,
                      std::uint16_t tempo);

    // Track chunks in the file so far (1 after the start).
    std::uint16_t trackCount() const { return trackCount_; }
    std::uint16_t division() const { return timing_.division(); }
    std::uint16_t tempo() const { return timing_.tempo(); }
    std::int32_t totalTicks() const { return totalTicks_; }

protected:
    // Writes the header and one empty track from offset 0 and resets the per-file state.
    void begin(std::uint16_t division, std::uint16_t tempo);

private:
    void writeHeader(std::uint16_t format);
    void writeEmptyTrack();

    std::uint16_t trackCount_ = 0;
    SysExTiming timing_;
    std::int32_t trackStart_ = 0;
    std::int32_t totalTicks_ = 0;
    bool trackEmpty_ = true;
};
