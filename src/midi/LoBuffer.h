#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

// A growable array of bytes that can fill itself from a stream, write itself to one and render
// itself as hexadecimal text. Base of the variable-length quantity, the MIDI event, the 80-bit
// float and the sample buffer.
class LoBuffer {
public:
    using Bytes = std::vector<std::uint8_t>;

    LoBuffer() = default;
    LoBuffer(std::size_t count, std::uint8_t fill);
    LoBuffer(const std::uint8_t* first, const std::uint8_t* last);
    LoBuffer(Bytes::const_iterator first, Bytes::const_iterator last);
    LoBuffer(const LoBuffer&) = default;
    LoBuffer(LoBuffer&&) noexcept = default;
    LoBuffer& operator=(const LoBuffer&) = default;
    LoBuffer& operator=(LoBuffer&&) noexcept = default;

    // Reads as many bytes as the buffer is long; shrinks to what arrived on a short read.
    virtual LoBuffer& readFrom(std::istream& stream);
    // Writes every byte with one unformatted write.
    virtual std::ostream& writeTo(std::ostream& stream) const;
    virtual ~LoBuffer();
    // "f0 0a 7f\n"; an empty buffer gives "".
    virtual std::string hexDump() const;

    std::size_t size() const { return bytes.size(); }
    bool empty() const { return bytes.empty(); }
    std::uint8_t operator[](std::size_t i) const { return bytes[i]; }
    std::uint8_t& operator[](std::size_t i) { return bytes[i]; }

    Bytes bytes;

protected:
    // Appends up to count bytes from the stream to the end of bytes, growing the buffer in steps
    // so that a count taken from a damaged file never allocates much more than the stream
    // delivers (at most about twice, or 4 KiB).
    // Returns the number of bytes that arrived.
    std::size_t appendFrom(std::istream& stream, std::size_t count);
};
