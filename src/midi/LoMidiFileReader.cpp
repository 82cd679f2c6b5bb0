#include "midi/LoMidiFileReader.h"

#include "midi/LoVarlength.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace {

constexpr std::uint32_t headerChunkId = midiHeaderChunkId;
constexpr std::uint32_t trackChunkId = midiTrackChunkId;
// Positions are 32-bit; leave room for a chunk header past the last byte.
constexpr std::int64_t largestFileSize = std::numeric_limits<std::int32_t>::max() - 16;

std::int32_t toInt32(std::uint32_t value) {
    return static_cast<std::int32_t>(
        std::min<std::uint32_t>(value, std::numeric_limits<std::int32_t>::max()));
}

} // namespace

LoMidiFileReader::LoMidiFileReader() = default;

LoMidiFileReader::LoMidiFileReader(const std::filesystem::path& path) : LoFileReader(path) {
    parse();
}

LoMidiFileReader::LoMidiFileReader(std::span<const std::uint8_t> bytes) : LoFileReader(bytes) {
    parse();
}

LoMidiFileReader::~LoMidiFileReader() = default;

void LoMidiFileReader::open(const std::filesystem::path& path) {
    if (is_open()) {
        // The standard stream refuses a second open; make sure nothing of the file already open
        // is handed out as if it came from the new one.
        LoFileReader::open(path);
        makeUnreadable();
        return;
    }
    LoFileReader::open(path);
    parse();
}

void LoMidiFileReader::resetState() {
    chunkId_ = 0;
    format_ = 0;
    trackCount_ = 0;
    timing_ = SysExTiming();
    trackFresh_ = true;
    fileSize_ = 0;
    trackStart_ = 0;
    trackLength_ = 0;
    finished_ = false;
}

void LoMidiFileReader::makeUnreadable() {
    resetState();
    finished_ = true;
    chunk_.str(std::string());
    chunk_.setstate(std::ios::failbit);
    setstate(std::ios::failbit);
}

bool LoMidiFileReader::isMidiFile() const {
    return chunkId_ == headerChunkId;
}

std::int32_t LoMidiFileReader::position() {
    const std::int32_t at = tell();
    return at < 0 ? fileSize_ : at;
}

void LoMidiFileReader::parse() {
    resetState();
    const std::int64_t size = fileSize();
    if (size < 0 || size > largestFileSize) {
        makeUnreadable();
        return;
    }
    fileSize_ = static_cast<std::int32_t>(size);
    seek(0);
    chunkId_ = read32(true);
    if (chunkId_ == headerChunkId) {
        skip(4);
        format_ = read16(true);
        trackCount_ = read16(true);
        timing_.setFormat(read16(true), 120);
    }
    readChunk();
}

void LoMidiFileReader::readChunk() {
    chunk_.str(std::string());
    chunk_.clear();
    for (;;) {
        trackStart_ = position();
        if (trackStart_ >= fileSize_) {
            return;
        }
        const std::uint32_t type = read32(true);
        trackLength_ = read32(true);
        // What the file holds of the chunk: a chunk that claims more reaches to the end.
        const auto size = static_cast<std::size_t>(
            std::min<std::int64_t>(trackLength_, std::max(0, fileSize_ - position())));
        if (type == trackChunkId) {
            std::string body(size, '\0');
            read(body.data(), size);
            chunk_.str(std::move(body));
            chunk_.clear();
            return;
        }
        // Any other chunk is passed over; each turn moves at least 8 bytes on.
        seek(static_cast<std::int32_t>(
            std::min<std::int64_t>(std::int64_t{trackStart_} + 8 + size, fileSize_)));
    }
}

LoMidiEvent& LoMidiFileReader::readEvent(LoMidiEvent& midiEvent) {
    trackFresh_ = false;
    LoVarlength& delta = delta_;
    delta.readFrom(chunk_);
    midiEvent.readFrom(chunk_);

    std::uint32_t ticks = 0;
    const bool sysEx = isSysEx(midiEvent);
    if (sysEx) {
        const std::uint32_t deltaTicks = delta.value();
        // The reader keeps no absolute time: a track's first message keeps its whole delta.
        const std::uint32_t since = timing_.precedingTicks(0);
        ticks = deltaTicks > since ? deltaTicks - since : 0;
    }
    midiEvent.setDelay(toInt32(timing_.toMilliseconds(ticks)));
    if (sysEx) {
        timing_.passed(midiEvent.size());
    }
    endOfTrackSeen_ = isEndOfTrack(midiEvent);
    if (endOfTrackSeen_) {
        midiEvent.bytes.clear();
        midiEvent.setDelay(0);
    }
    return midiEvent;
}

LoMidiEventList& LoMidiFileReader::readTrack(LoMidiEventList& list) {
    list.clear();
    if (finished_) {
        return list;
    }
    if (!trackFresh_) {
        timing_.startTrack();
        trackFresh_ = true;
        readChunk(); // the file stands right behind the current chunk
    }
    lastTrackWhole_ = false;
    for (;;) {
        LoMidiEvent midiEvent;
        endOfTrackSeen_ = false;
        readEvent(midiEvent);
        if (midiEvent.empty()) {
            lastTrackWhole_ = endOfTrackSeen_;
            break;
        }
        const bool unended = isSysEx(midiEvent) && midiEvent.bytes.back() != 0xF7;
        list.push_back(std::move(midiEvent));
        if (unended) {
            break;
        }
    }
    finished_ = list.empty();
    return list;
}
