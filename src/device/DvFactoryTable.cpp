#include "device/DvFactoryTable.h"

// Placeholder until the generated table is embedded.
namespace {
const std::int16_t silence[DvFactoryTable::valueCount] = {};
}

std::span<const std::int16_t, DvFactoryTable::valueCount> DvFactoryTable::values() {
    return std::span<const std::int16_t, valueCount>(silence, valueCount);
}

std::span<const std::int16_t> DvFactoryTable::bank(int bank) {
    if (bank < 0 || static_cast<std::size_t>(bank) >= bankCount) {
        return {};
    }
    return values().subspan(static_cast<std::size_t>(bank) * valuesPerBank, valuesPerBank);
}
