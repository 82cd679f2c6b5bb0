#include "midi/LoVarlength.h"

#include <istream>

LoVarlength::LoVarlength() : LoBuffer(1, 0) {}

LoVarlength::LoVarlength(std::uint32_t value) {
    setValue(value);
}

LoVarlength::~LoVarlength() = default;

void LoVarlength::setValue(std::uint32_t value) {
    if (value > 0xEFFFFFFFu) {
        value %= 0xF0000000u;
    }
    bytes.clear();
    bytes.push_back(static_cast<std::uint8_t>(value & 0x7F));
    while (value >= 128) {
        value >>= 7;
        bytes.insert(bytes.begin(), static_cast<std::uint8_t>((value & 0x7F) | 0x80));
    }
}

std::uint32_t LoVarlength::value() const {
    std::uint32_t result = 0;
    if (bytes.empty()) {
        return result;
    }
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
        result += bytes[i] & 0x7Fu;
        result <<= 7;
    }
    result += bytes.back() & 0x7Fu;
    return result;
}

LoBuffer& LoVarlength::readFrom(std::istream& stream) {
    bytes.clear();
    for (;;) {
        const auto c = stream.get();
        if (c == std::istream::traits_type::eof()) {
            break;
        }
        const auto byte = static_cast<std::uint8_t>(c);
        bytes.push_back(byte);
        if ((byte & 0x80) == 0) {
            break;
        }
    }
    return *this;
}

bool LoVarlength::complete() const {
    return !bytes.empty() && (bytes.back() & 0x80) == 0;
}
