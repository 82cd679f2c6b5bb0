#include "midi/LoMemoryStreamBuffer.h"

LoMemoryStreamBuffer::LoMemoryStreamBuffer(std::span<const std::uint8_t> bytes) {
    if (!bytes.empty()) {
        // The get area is never written through: overflow and pbackfail are not overridden.
        begin_ = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
        end_ = begin_ + bytes.size();
    }
    setg(begin_, begin_, end_);
}

LoMemoryStreamBuffer::pos_type LoMemoryStreamBuffer::seekoff(off_type offset,
                                                             std::ios_base::seekdir direction,
                                                             std::ios_base::openmode which) {
    if ((which & std::ios_base::in) == 0) {
        return pos_type(off_type(-1));
    }
    off_type base = 0;
    if (direction == std::ios_base::cur) {
        base = gptr() - begin_;
    } else if (direction == std::ios_base::end) {
        base = end_ - begin_;
    }
    const off_type target = base + offset;
    if (target < 0 || target > end_ - begin_) {
        return pos_type(off_type(-1));
    }
    setg(begin_, begin_ + target, end_);
    return pos_type(target);
}

LoMemoryStreamBuffer::pos_type LoMemoryStreamBuffer::seekpos(pos_type position,
                                                             std::ios_base::openmode which) {
    return seekoff(off_type(position), std::ios_base::beg, which);
}
