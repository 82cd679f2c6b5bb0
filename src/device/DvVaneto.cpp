#include "device/DvVaneto.h"

#include "device/DvBankMessages.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::uint8_t sysexStart = 0xF0;
constexpr std::uint8_t sysexEnd = 0xF7;
constexpr std::uint8_t metaStatus = 0xFF;
constexpr std::int32_t dataDelayMs = 6000;
using DvBankMessages::dataCommand;
using DvBankMessages::dataHeaderLength;
using DvBankMessages::isDataMessage;
using DvBankMessages::manufacturer;
constexpr std::string_view instrumentName = "Tiruk Vaneto";

// The text up to its first NUL byte.
std::string untilNul(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

bool isMetaOfType(const LoMidiEvent& event, std::uint8_t type) {
    return event.size() >= 2 && event[0] == metaStatus && event[1] == type;
}

std::string bankLabel(int bank) {
    return "Bank " + std::to_string(bank + 1);
}

} // namespace

DvVaneto::DvVaneto(std::span<const std::int16_t> factory) : factoryData(factory) {
    for (int b = 0; b < bankTotal; ++b) {
        sampleNames[b].assign(sampleNamesPerBank, std::string());
        resetBank(b);
    }
}

bool DvVaneto::isSingleSample(int bank) const {
    return validBank(bank) && layoutFlags[bank];
}

void DvVaneto::setSingleSample(int bank, bool single) {
    if (validBank(bank)) {
        layoutFlags[bank] = single;
    }
}

int DvVaneto::samplesPerBank(int bank) const {
    if (!validBank(bank)) {
        return 0;
    }
    return layoutFlags[bank] ? 1 : sampleNamesPerBank;
}

unsigned DvVaneto::slotLength(int bank) const {
    if (!validBank(bank)) {
        return 0;
    }
    return static_cast<unsigned>(valuesPerBank / static_cast<unsigned>(samplesPerBank(bank)));
}

std::string DvVaneto::bankName(int bank) const {
    if (!validBank(bank)) {
        return {};
    }
    const std::lock_guard lock(nameMutex);
    return bankNames[bank];
}

std::string DvVaneto::sampleName(int bank, int slot) const {
    if (!validBank(bank) || slot < 0 || slot >= sampleNamesPerBank) {
        return {};
    }
    const std::lock_guard lock(nameMutex);
    return sampleNames[bank][slot];
}

void DvVaneto::setBankName(std::string_view name, int bank) {
    if (!validBank(bank)) {
        return;
    }
    std::string copy = untilNul(name);
    const std::lock_guard lock(nameMutex);
    bankNames[bank].swap(copy);
}

void DvVaneto::setSampleName(std::string_view name, int bank, int slot) {
    if (!validBank(bank) || slot < 0 || slot >= sampleNamesPerBank) {
        return;
    }
    std::string copy = untilNul(name);
    const std::lock_guard lock(nameMutex);
    sampleNames[bank][slot].swap(copy);
}

void DvVaneto::resetBank(int bank) {
    if (!validBank(bank)) {
        return;
    }
    // Read from the table in place where it holds the bank as a reset leaves it.
    bankData_[bank] = std::vector<std::int16_t>();
    if (factoryBank(bank).empty()) {
        ownValues(bank);
    }
    layoutFlags[bank] = true;

    std::string name = bankLabel(bank);
    std::vector<std::string> samples(sampleNamesPerBank);
    for (int i = 0; i < sampleNamesPerBank; ++i) {
        samples[i] = "Sample " + std::to_string(i + 1) + " (in " + name + ")";
    }
    const std::lock_guard lock(nameMutex);
    bankNames[bank].swap(name);
    sampleNames[bank].swap(samples);
}

std::span<const std::int16_t> DvVaneto::factoryBank(int bank) const {
    const std::size_t first = static_cast<std::size_t>(bank) * valuesPerBank;
    if (!validBank(bank) || factoryData.size() < first + valuesPerBank ||
        factoryData[first + valuesPerBank - 1] != 0) {
        return {};
    }
    return factoryData.subspan(first, valuesPerBank);
}

std::vector<std::int16_t>& DvVaneto::ownValues(int bank) {
    std::vector<std::int16_t>& data = bankData_[bank];
    if (data.empty()) {
        // The factory content: the table's values (0 for those a short table lacks), the last
        // one 0.
        data.assign(valuesPerBank, 0);
        const std::size_t first = static_cast<std::size_t>(bank) * valuesPerBank;
        if (first < factoryData.size()) {
            const std::size_t available = std::min(valuesPerBank, factoryData.size() - first);
            std::copy_n(factoryData.begin() + static_cast<std::ptrdiff_t>(first), available,
                        data.begin());
        }
        data[valuesPerBank - 1] = 0;
    }
    return data;
}

void DvVaneto::insertSample(const std::int16_t* values, std::size_t count, int bank, int slot) {
    if (!validBank(bank) || slot < 0 || slot >= samplesPerBank(bank)) {
        return;
    }
    if (values == nullptr) {
        count = 0;
    }
    std::vector<std::int16_t>& data = ownValues(bank);
    const std::size_t length = slotLength(bank);
    const std::size_t start = static_cast<std::size_t>(slot) * length;
    if (start >= data.size()) {
        return;
    }
    // A bank is never written beyond the values it holds.
    const std::size_t room = std::min(length, data.size() - start);
    const std::size_t n = std::min(count, room);
    std::int16_t* destination = data.data() + start;
    std::copy_n(values == nullptr ? destination : values, n, destination);
    std::memset(destination + n, 0, (room - n) * sizeof(std::int16_t));
    if (room > 0) {
        destination[0] = 0;
    }
    declick(destination, n);
}

void DvVaneto::writeValues(int bank, std::size_t first, std::span<const std::int16_t> values) {
    if (!validBank(bank) || values.empty()) {
        return;
    }
    std::vector<std::int16_t>& data = ownValues(bank);
    if (first >= data.size()) {
        return;
    }
    std::copy_n(values.begin(), std::min(values.size(), data.size() - first),
                data.begin() + static_cast<std::ptrdiff_t>(first));
}

void DvVaneto::declick(std::int16_t* slot, std::size_t count) {
    if (slot == nullptr) {
        return;
    }
    for (std::size_t k = 1; k <= 15 && k <= count; ++k) {
        std::int16_t& value = slot[count - k];
        const int shift = static_cast<int>(16 - k);
        const int magnitude = std::min(std::abs(static_cast<int>(value)), 32767);
        const int faded = magnitude >> shift;
        value = static_cast<std::int16_t>(value < 0 ? -faded : faded);
    }
}

std::span<const std::int16_t> DvVaneto::bankData(int bank) const {
    if (!validBank(bank)) {
        return {};
    }
    // Its own copy, or, while it holds its factory content, the table itself.
    if (!bankData_[bank].empty()) {
        return bankData_[bank];
    }
    return factoryBank(bank);
}

void DvVaneto::split7(std::span<const std::uint8_t> in, LoBuffer::Bytes& out) {
    const std::size_t start = out.size();
    out.resize(start + 2 * in.size());
    std::uint8_t* p = out.data() + start;
    for (const std::uint8_t b : in) {
        *p++ = static_cast<std::uint8_t>(b >> 7);
        *p++ = static_cast<std::uint8_t>(b & 0x7F);
    }
}

void DvVaneto::merge7(std::span<const std::uint8_t> in, LoBuffer::Bytes& out) {
    out.reserve(out.size() + in.size() / 2);
    for (std::size_t i = 0; i + 1 < in.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(((in[i] & 1) << 7) | (in[i + 1] & 0x7F)));
    }
}

LoMidiEvent DvVaneto::metaEvent(std::uint8_t kind, int bank) const {
    LoMidiEvent event(0);
    if (!validBank(bank)) {
        return event;
    }
    LoBuffer::Bytes& out = event.bytes;
    switch (kind) {
    case 0x03: {
        const std::string name = bankName(bank);
        out = {metaStatus, 0x03};
        out.insert(out.end(), name.begin(), name.end());
        break;
    }
    case 0x04:
        out = {metaStatus, 0x04};
        out.insert(out.end(), instrumentName.begin(), instrumentName.end());
        break;
    case 0x7F: {
        out = {metaStatus, 0x7F, manufacturer, 0x00, dataCommand, 0x00};
        const int slots = samplesPerBank(bank);
        const std::lock_guard lock(nameMutex);
        for (int s = 0; s < slots; ++s) {
            const std::string& name = sampleNames[bank][s];
            out.insert(out.end(), name.begin(), name.end());
            out.push_back(0x00);
        }
        break;
    }
    default:
        break;
    }
    return event;
}

LoMidiEventList DvVaneto::bankDump(int bank, int channel) const {
    LoMidiEventList list;
    if (!validBank(bank)) {
        return list;
    }
    const auto bankBits = static_cast<std::uint8_t>(bank);
    list.push_back(DvBankMessages::announce(bank));

    const std::span<const std::int16_t> values = bankData(bank);
    LoMidiEvent data(dataDelayMs);
    LoBuffer::Bytes& out = data.bytes;
    out.reserve(dataHeaderLength + 4 * values.size() + 1);
    out = {sysexStart, manufacturer, static_cast<std::uint8_t>(0x40 | (bankBits & 0x3F)),
           dataCommand, static_cast<std::uint8_t>(0x20 | (channel & 0x0F))};
    // Each value little-endian, each of its bytes split as split7 splits it, in one pass.
    const std::size_t start = out.size();
    out.resize(start + 4 * values.size() + 1);
    // Each byte b of a value becomes the pair (b >> 7, b & 0x7F), low byte first: one
    // little-endian 16-bit pair per byte, looked up.
    static constexpr auto pairs = [] {
        std::array<std::uint16_t, 256> table{};
        for (unsigned b = 0; b < 256; ++b) {
            table[b] = static_cast<std::uint16_t>((b >> 7) | ((b & 0x7Fu) << 8));
        }
        return table;
    }();
    std::uint8_t* p = out.data() + start;
    const std::size_t count = values.size();
    const std::int16_t* in = values.data();
    for (std::size_t i = 0; i < count; ++i) {
        const auto u = static_cast<std::uint16_t>(in[i]);
        const std::uint32_t word =
            pairs[u & 0xFFu] | (static_cast<std::uint32_t>(pairs[u >> 8]) << 16);
        const std::uint8_t bytes[4] = {
            static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8),
            static_cast<std::uint8_t>(word >> 16), static_cast<std::uint8_t>(word >> 24)};
        std::memcpy(p + 4 * i, bytes, 4);
    }
    p[4 * count] = sysexEnd;
    list.push_back(std::move(data));
    return list;
}

int DvVaneto::identifyBank(const LoMidiEventList& events) const {
    return DvBankMessages::identifyBank(events);
}

bool DvVaneto::loadBank(const LoMidiEventList& events, int bank) {
    if (!validBank(bank)) {
        return false;
    }
    const int identified = DvBankMessages::identifyBank(events);
    if (identified < -1) {
        return false;
    }
    if (identified == -1) {
        return true;
    }
    for (const LoMidiEvent& event : events) {
        if (isMetaOfType(event, 0x03)) {
            const auto first = event.bytes.begin() + 2;
            setBankName(std::string(first, std::find(first, event.bytes.end(), 0)), bank);
        } else if (isMetaOfType(event, 0x7F)) {
            std::vector<std::string> names;
            for (std::size_t pos = 6; pos < event.size() && names.size() < sampleNamesPerBank;) {
                const auto first = event.bytes.begin() + static_cast<std::ptrdiff_t>(pos);
                const auto end = std::find(first, event.bytes.end(), 0);
                names.emplace_back(first, end);
                pos += names.back().size() + 1;
            }
            layoutFlags[bank] = names.size() < 2;
            const std::lock_guard lock(nameMutex);
            for (std::size_t s = 0; s < names.size(); ++s) {
                sampleNames[bank][s].swap(names[s]);
            }
        } else if (isDataMessage(event)) {
            // Each value from four bytes, as merge7 joins them: the low byte from the first
            // two, the high byte from the next two; the values the message lacks are 0.
            const std::size_t count =
                std::min(DvBankMessages::dataValueCount(event), valuesPerBank);
            std::vector<std::int16_t>& data = bankData_[bank];
            data.resize(valuesPerBank);
            const std::uint8_t* p = event.bytes.data() + dataHeaderLength;
            for (std::size_t i = 0; i < count; ++i, p += 4) {
                const unsigned low = ((p[0] & 1u) << 7) | (p[1] & 0x7Fu);
                const unsigned high = ((p[2] & 1u) << 7) | (p[3] & 0x7Fu);
                data[i] = static_cast<std::int16_t>(low | (high << 8));
            }
            std::memset(data.data() + count, 0, (valuesPerBank - count) * sizeof(std::int16_t));
        }
    }
    return true;
}

std::vector<int> DvVaneto::allBanks() {
    std::vector<int> banks;
    for (int bank = 0; bank < bankTotal; ++bank) {
        banks.push_back(bank);
    }
    return banks;
}
