#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Cuts a long System Exclusive message into chunks and says when to hand each one over, so that
// the bytes handed over never run ahead of the given rate by more than a small backlog: by any
// time t after the start, at most backlog + rate * t bytes have been handed over. Chunks keep
// the message's bytes as they are (the first starts with F0, the last ends with F7).
//
// Why: a MIDI interface sends at 3125 bytes per second, while the kernel hands it what it is
// given at once into a buffer of one page and drops what does not fit. A small backlog keeps
// the interface busy without gaps; a rate slightly above the interface's (an interface that
// runs 1% slow) adds about 2600 bytes over a full bank, which still fits beside the backlog.
class SysexPacer {
public:
    // The MIDI wire rate: 31250 baud, 10 bits per byte.
    static constexpr double wireBytesPerSecond = 3125.0;
    static constexpr std::size_t defaultChunkSize = 256;
    static constexpr std::size_t defaultBacklog = 512;

    struct Chunk {
        std::size_t offset;
        std::size_t length;
        std::int64_t dueMicroseconds; // from the start of the message
    };

    // Values out of range are replaced: a rate that is not positive by the wire rate, a chunk
    // size of 0 by 1.
    explicit SysexPacer(double bytesPerSecond = wireBytesPerSecond,
                        std::size_t chunkSize = defaultChunkSize,
                        std::size_t backlog = defaultBacklog);

    // The chunks of a message of `length` bytes, in order; none for an empty message.
    std::vector<Chunk> schedule(std::size_t length) const;
    // Microseconds the given number of bytes takes at the pacing rate (rounded up).
    std::int64_t wireMicroseconds(std::size_t bytes) const;

    double bytesPerSecond() const { return bytesPerSecond_; }
    std::size_t chunkSize() const { return chunkSize_; }
    std::size_t backlog() const { return backlog_; }

private:
    double bytesPerSecond_;
    std::size_t chunkSize_;
    std::size_t backlog_;
};
