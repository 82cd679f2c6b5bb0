#include "midi/LoBuffer.h"

#include <algorithm>
#include <istream>
#include <ostream>

LoBuffer::LoBuffer(std::size_t count, std::uint8_t fill) : bytes(count, fill) {}

LoBuffer::LoBuffer(const std::uint8_t* first, const std::uint8_t* last) {
    if (first != nullptr && last != nullptr && last > first) {
        bytes.assign(first, last);
    }
}

LoBuffer::LoBuffer(Bytes::const_iterator first, Bytes::const_iterator last) : bytes(first, last) {}

LoBuffer::~LoBuffer() = default;

LoBuffer& LoBuffer::readFrom(std::istream& stream) {
    const std::size_t wanted = bytes.size();
    if (wanted == 0) {
        return *this;
    }
    stream.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(wanted));
    const auto got = static_cast<std::size_t>(std::max<std::streamsize>(0, stream.gcount()));
    if (got < wanted) {
        bytes.resize(got);
    }
    return *this;
}

std::ostream& LoBuffer::writeTo(std::ostream& stream) const {
    if (!bytes.empty()) {
        stream.write(reinterpret_cast<const char*>(bytes.data()),
                     static_cast<std::streamsize>(bytes.size()));
    }
    return stream;
}

std::string LoBuffer::hexDump() const {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    if (bytes.empty()) {
        return text;
    }
    text.reserve(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0) {
            text += ' ';
        }
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0F];
    }
    text += '\n';
    return text;
}

std::size_t LoBuffer::appendFrom(std::istream& stream, std::size_t count) {
    // Steps grow with what has arrived, so the buffer never holds more than about twice what
    // the stream delivered (plus one small first step).
    constexpr std::size_t firstStep = 4096;
    std::size_t total = 0;
    while (total < count && stream.good()) {
        const std::size_t chunk = std::min(std::max(firstStep, total), count - total);
        const std::size_t start = bytes.size();
        bytes.resize(start + chunk);
        stream.read(reinterpret_cast<char*>(bytes.data() + start),
                    static_cast<std::streamsize>(chunk));
        const auto got = static_cast<std::size_t>(std::max<std::streamsize>(0, stream.gcount()));
        bytes.resize(start + got);
        total += got;
        if (got < chunk) {
            break;
        }
    }
    return total;
}
