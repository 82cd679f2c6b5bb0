#include "device/DvFactoryTable.h"

#include <bit>

// The table is generated at build time and placed in read-only data by the assembler, so the
// program carries it without a large source file. The file holds 7 x 65536 little-endian
// 16-bit values, which is the host's own order. The .org pads a short file with zeros and
// refuses a long one, so the symbol always spans exactly the table.
asm(R"(
    .section .rodata
    .balign 16
    .globl vaneto_factory_banks
    .type vaneto_factory_banks, @object
vaneto_factory_banks:
    .incbin ")" VANETO_FACTORY_TABLE_FILE R"("
    .org vaneto_factory_banks + 917504
    .size vaneto_factory_banks, . - vaneto_factory_banks
    .previous
)");

static_assert(std::endian::native == std::endian::little,
              "the embedded table is read in the host's byte order");

extern "C" const std::int16_t vaneto_factory_banks[DvFactoryTable::valueCount];

std::span<const std::int16_t, DvFactoryTable::valueCount> DvFactoryTable::values() {
    return std::span<const std::int16_t, valueCount>(vaneto_factory_banks, valueCount);
}

std::span<const std::int16_t> DvFactoryTable::bank(int bank) {
    if (bank < 0 || static_cast<std::size_t>(bank) >= bankCount) {
        return {};
    }
    return values().subspan(static_cast<std::size_t>(bank) * valuesPerBank, valuesPerBank);
}
