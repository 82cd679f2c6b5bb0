#include "midi/LoMidiFileWriter.h"

#include "midi/LoVarlength.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::uint32_t headerChunkId = midiHeaderChunkId;
constexpr std::uint32_t trackChunkId = midiTrackChunkId;
constexpr std::uint32_t endOfTrack = 0x00FF2F00; // delta 0, FF 2F 00
constexpr std::uint64_t largestDelta = 0x0FFFFFFF;
constexpr std::int64_t largestTicks = std::numeric_limits<std::int32_t>::max();

// An empty event, or a meta status without its type, has no file form: writing it would leave
// a delta time that swallows the bytes behind it.
bool hasFileForm(const LoMidiEvent& midiEvent) {
    return !midiEvent.empty() && (midiEvent[0] != 0xFF || midiEvent.size() >= 2);
}

} // namespace

LoMidiFileWriter::LoMidiFileWriter() = default;

LoMidiFileWriter::LoMidiFileWriter(const std::filesystem::path& path, std::uint16_t division,
                                   std::uint16_t tempo)
    : LoFileWriter(path) {
    begin(division, tempo);
}

LoMidiFileWriter::~LoMidiFileWriter() = default;

void LoMidiFileWriter::open(const std::filesystem::path& path, std::uint16_t division,
                            std::uint16_t tempo) {
    std::ofstream::open(path, std::ios::out | std::ios::binary | std::ios::trunc);
    begin(division, tempo);
}

void LoMidiFileWriter::begin(std::uint16_t division, std::uint16_t tempo) {
    trackCount_ = 1;
    timing_.setFormat(division, tempo);
    seek(0);
    writeHeader(0);
    trackStart_ = tell();
    totalTicks_ = 0;
    writeEmptyTrack();
}

void LoMidiFileWriter::writeHeader(std::uint16_t format) {
    write32(headerChunkId, true);
    write32(6, true);
    write16(format, true);
    write16(trackCount_, true);
    write16(timing_.division(), true);
}

void LoMidiFileWriter::writeEmptyTrack() {
    trackEmpty_ = true;
    timing_.startTrack();
    write32(trackChunkId, true);
    write32(4, true);
    write32(endOfTrack, true);
    flush();
}

void LoMidiFileWriter::writeTrack(const LoMidiEventList& list, bool keepAbsoluteTime) {
    if (!trackEmpty_) {
        ++trackCount_;
        seek(0);
        writeHeader(1);
        seekp(0, std::ios::end);
        trackStart_ = tell();
        if (!keepAbsoluteTime) {
            totalTicks_ = 0;
        }
        writeEmptyTrack();
    }
    for (const LoMidiEvent& midiEvent : list) {
        writeEvent(midiEvent);
    }
}

void LoMidiFileWriter::writeEvent(const LoMidiEvent& midiEvent) {
    const auto delay = static_cast<std::uint32_t>(std::max(midiEvent.delay(), 0));
    const std::uint32_t delayTicks = timing_.toTicks(delay);
    std::uint32_t delta = 0;
    trackEmpty_ = false;
    const bool sysEx = isSysEx(midiEvent);
    if (sysEx) {
        const std::uint32_t since = timing_.precedingTicks(static_cast<std::uint32_t>(totalTicks_));
        delta = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(std::uint64_t{delayTicks} + since, largestDelta));
    }

    // Overwrite the trailing end-of-track bytes, then put them back behind the new event.
    seekp(-4, std::ios::end);
    if (hasFileForm(midiEvent) && !isEndOfTrack(midiEvent)) {
        LoVarlength(delta).writeTo(*this);
        midiEvent.writeTo(*this);
    }
    write32(endOfTrack, true);
    const std::int32_t fileEnd = seek(trackStart_);
    write32(trackChunkId, true);
    write32(static_cast<std::uint32_t>(fileEnd - trackStart_ - 8), true);
    flush();

    if (sysEx) {
        timing_.passed(midiEvent.size());
        totalTicks_ = static_cast<std::int32_t>(std::min<std::int64_t>(
            std::int64_t{totalTicks_} + delayTicks + timing_.lastMessageTicks(), largestTicks));
    }
}
