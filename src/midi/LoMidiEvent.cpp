#include "midi/LoMidiEvent.h"

#include "midi/LoVarlength.h"

#include <algorithm>
#include <istream>
#include <ostream>

LoMidiEvent::LoMidiEvent(std::int32_t delay) : delay_(delay) {}

LoMidiEvent::LoMidiEvent(const std::uint8_t* first, const std::uint8_t* last, std::int32_t delay)
    : LoBuffer(first, last), delay_(delay) {}

LoMidiEvent::LoMidiEvent(Bytes::const_iterator first, Bytes::const_iterator last,
                         std::int32_t delay)
    : LoBuffer(first, last), delay_(delay) {}

LoMidiEvent::~LoMidiEvent() = default;

LoBuffer& LoMidiEvent::readFrom(std::istream& stream) {
    bytes.clear();
    const auto readByte = [&stream]() -> std::uint8_t {
        const auto c = stream.get();
        return c == std::istream::traits_type::eof() ? 0 : static_cast<std::uint8_t>(c);
    };
    const std::uint8_t status = readByte();
    std::uint8_t type = 0;
    const bool meta = status == 0xFF;
    if (meta) {
        type = readByte();
    }
    LoVarlength length;
    length.readFrom(stream);
    if (!length.complete()) {
        return *this; // the stream ended inside the event
    }
    const std::uint32_t dataLength = length.value();
    // One allocation for a usual event; a long one grows as its bytes arrive.
    bytes.reserve(2 + std::min<std::size_t>(dataLength, 4096));
    bytes.push_back(status);
    if (meta) {
        bytes.push_back(type);
    }
    if (dataLength != 0 && appendFrom(stream, dataLength) < dataLength) {
        bytes.clear();
    }
    return *this;
}

std::ostream& LoMidiEvent::writeTo(std::ostream& stream) const {
    if (bytes.empty()) {
        return stream;
    }
    const std::size_t header = (bytes[0] == 0xFF && bytes.size() >= 2) ? 2 : 1;
    const std::size_t dataLength = bytes.size() - header;
    stream.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(header));
    LoVarlength(static_cast<std::uint32_t>(dataLength)).writeTo(stream);
    if (dataLength != 0) {
        stream.write(reinterpret_cast<const char*>(bytes.data() + header),
                     static_cast<std::streamsize>(dataLength));
    }
    return stream;
}
