#include "midiin/LoopbackProbe.h"

#include <algorithm>

namespace LoopbackProbe {

std::vector<std::uint8_t> message(std::size_t length) {
    length = std::max(length, shortestLength);
    std::vector<std::uint8_t> bytes(length);
    bytes[0] = 0xF0;
    bytes[1] = nonCommercial;
    // xorshift32: a fixed sequence without short repeats
    std::uint32_t state = 0x2545F491;
    for (std::size_t i = 2; i + 1 < length; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        bytes[i] = static_cast<std::uint8_t>(state & 0x7F);
    }
    bytes[length - 1] = 0xF7;
    return bytes;
}

bool isProbe(const std::vector<std::uint8_t>& bytes) {
    return bytes.size() > 1 && bytes[0] == 0xF0 && bytes[1] == nonCommercial;
}

Figures compare(const std::vector<std::uint8_t>& sent, const std::vector<std::uint8_t>& received) {
    Figures figures;
    figures.sent = sent.size();
    figures.received = received.size();
    figures.lost = sent.size() > received.size() ? sent.size() - received.size() : 0;
    figures.extra = received.size() > sent.size() ? received.size() - sent.size() : 0;
    const auto [s, r] = std::mismatch(sent.begin(), sent.end(), received.begin(), received.end());
    if (s != sent.end() || r != received.end()) {
        figures.difference = s - sent.begin();
    }
    return figures;
}

} // namespace LoopbackProbe
