// Writes the factory bank table: 7 banks of 65536 signed 16-bit values, little-endian, to the
// file named on the command line. The output depends on nothing but this code.

#include "FactorySounds.h"
#include "FactoryWaves.h"

#include <cstdio>
#include <fstream>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argc > 0 ? argv[0] : "generator");
        return 2;
    }
    std::vector<char> bytes;
    bytes.reserve(7 * 65536 * 2);
    for (int b = 0; b < 7; ++b) {
        const std::vector<std::int16_t> bank =
            b < 3 ? FactoryWaves::bank(b) : FactorySounds::bank(b - 3);
        if (bank.size() != 65536) {
            std::fprintf(stderr, "bank %d has %zu values\n", b + 1, bank.size());
            return 1;
        }
        for (const std::int16_t v : bank) {
            const auto u = static_cast<std::uint16_t>(v);
            bytes.push_back(static_cast<char>(u & 0xFF));
            bytes.push_back(static_cast<char>(u >> 8));
        }
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
