#include "midiout/SysexPacer.h"

#include <algorithm>
#include <cmath>

SysexPacer::SysexPacer(double bytesPerSecond, std::size_t chunkSize, std::size_t backlog)
    : bytesPerSecond_(bytesPerSecond > 0 && std::isfinite(bytesPerSecond) ? bytesPerSecond
                                                                          : wireBytesPerSecond),
      chunkSize_(std::max<std::size_t>(chunkSize, 1)), backlog_(backlog) {}

std::int64_t SysexPacer::wireMicroseconds(std::size_t bytes) const {
    return static_cast<std::int64_t>(std::ceil(static_cast<double>(bytes) * 1e6 / bytesPerSecond_));
}

std::vector<SysexPacer::Chunk> SysexPacer::schedule(std::size_t length) const {
    std::vector<Chunk> chunks;
    chunks.reserve((length + chunkSize_ - 1) / chunkSize_);
    for (std::size_t offset = 0; offset < length; offset += chunkSize_) {
        const std::size_t size = std::min(chunkSize_, length - offset);
        // Everything up to the end of this chunk may be out once the wire has taken all but
        // the backlog of it.
        const std::size_t handed = offset + size;
        const std::int64_t due = handed > backlog_ ? wireMicroseconds(handed - backlog_) : 0;
        chunks.push_back(Chunk{offset, size, due});
    }
    return chunks;
}
