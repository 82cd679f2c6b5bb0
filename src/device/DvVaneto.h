#pragma once

#include "device/DvFactoryTable.h"
#include "device/DvMidiDevice.h"
#include "midi/LoBuffer.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The editor's image of the synthesizer's sample memory: seven banks of 65536 signed 16-bit
// values, a name per bank and 256 sample names per bank, filled with the factory content on
// construction; and the encoding of a bank into MIDI events and back.
//
// Bank indices run 0 ... 6, slot indices 0 ... samplesPerBank - 1 (sample names: 0 ... 255).
// An index outside these ranges is never used to touch memory: setters and content operations
// then do nothing, getters answer an empty name / empty content / false / 0.
//
// Threads: every change happens on one thread (the user interface). Names may be read from
// another thread at any time; they are copied under a lock, so a reader never sees a torn name.
// Bank values may be read from another thread (bankDump, bankData) only while nobody changes
// the content (the editor refuses reset, import and open during a transfer).
class DvVaneto final : public DvMidiDevice {
public:
    static constexpr int bankTotal = 7;
    static constexpr std::size_t valuesPerBank = 65536;
    static constexpr int sampleNamesPerBank = 256;
    // A bank in the wave layout: 256 waves (its slots) of 256 values each.
    static constexpr std::size_t waveLength = 256;
    static constexpr int wavesPerBank = 256;
    static_assert(waveLength * wavesPerBank == valuesPerBank);

    // Builds the seven banks from the factory table (7 x 65536 values, not owned, must outlive
    // the store; values missing from a shorter table count as 0) and resets each bank.
    explicit DvVaneto(std::span<const std::int16_t> factoryData = DvFactoryTable::values());
    // The store keeps a view of its factory table: a temporary table would leave it dangling.
    explicit DvVaneto(std::vector<std::int16_t>&&) = delete;
    DvVaneto(const DvVaneto&) = delete;
    DvVaneto& operator=(const DvVaneto&) = delete;
    ~DvVaneto() = default;

    // Always 7.
    int bankCount() const { return bankTotal; }
    // The numbers of all banks, 0 ... 6.
    static std::vector<int> allBanks();
    // True when the bank holds one sample over all its values, false when it holds 256 wave
    // slots of 256 values.
    bool isSingleSample(int bank) const;
    // Chooses the layout; values and names stay as they are.
    void setSingleSample(int bank, bool single);
    // 1 for a single-sample bank, 256 for a bank of wave slots; 0 for a bad index.
    int samplesPerBank(int bank) const;
    // Values per slot: 65536 or 256; 0 for a bad index.
    unsigned slotLength(int bank) const;

    // Copies of the names, safe to call from any thread.
    std::string bankName(int bank) const;
    std::string sampleName(int bank, int slot) const;
    // The text is copied up to its first NUL byte, if any.
    void setBankName(std::string_view name, int bank);
    void setSampleName(std::string_view name, int bank, int slot);

    // Restores the bank's factory values (its last value 0), the single-sample layout, the name
    // "Bank <b+1>" and the sample names "Sample <i+1> (in Bank <b+1>)".
    void resetBank(int bank);

    // Copies count values into one slot of a bank: at most slotLength values are taken, the
    // rest of the slot is set to 0, the first value of the slot is forced to 0 and the last
    // copied values fade out (declick). values may be null only when count is 0.
    void insertSample(const std::int16_t* values, std::size_t count, int bank, int slot);

    // Copies values into a bank from value `first` on, as they are (no fade, no forced zero);
    // values beyond the bank's end are left out.
    void writeValues(int bank, std::size_t first, std::span<const std::int16_t> values);

    // Fades the last (up to) 15 of count values from slot: the value k places before the end
    // is divided by 2^(16-k), truncating toward zero, so the last value becomes 0.
    static void declick(std::int16_t* slot, std::size_t count);

    // The bank's values (65536 of them); empty for a bad index. Valid until the bank changes.
    std::span<const std::int16_t> bankData(int bank) const;

    // Each byte b becomes the two 7-bit bytes b >> 7 and b & 0x7F, appended to out.
    static void split7(std::span<const std::uint8_t> in, LoBuffer::Bytes& out);
    // Each pair (p, q) becomes ((p & 1) << 7) | (q & 0x7F), appended to out; an odd last byte
    // is ignored.
    static void merge7(std::span<const std::uint8_t> in, LoBuffer::Bytes& out);

    // DvMidiDevice. metaEvent and bankDump may run on another thread; a data message that
    // loadBank reads is cut or padded with zeros to exactly 65536 values. The sample names event
    // that loadBank reads also gives the layout: two or more names make the bank a wavetable,
    // one name (or none) a single sample.
    LoMidiEvent metaEvent(std::uint8_t kind, int bank) const override;
    LoMidiEventList bankDump(int bank, int channel) const override;
    int identifyBank(const LoMidiEventList& events) const override;
    bool loadBank(const LoMidiEventList& events, int bank) override;

private:
    static bool validBank(int bank) { return bank >= 0 && bank < bankTotal; }
    // The factory values of a bank when the table holds them exactly as a reset bank holds
    // them (all 65536, the last one 0); empty otherwise.
    std::span<const std::int16_t> factoryBank(int bank) const;
    // The bank's own copy, made from the table when it has none yet: for every change.
    std::vector<std::int16_t>& ownValues(int bank);

    std::span<const std::int16_t> factoryData;
    // Empty while the bank holds exactly its factory values (read from the table in place).
    std::array<std::vector<std::int16_t>, bankTotal> bankData_;
    std::array<bool, bankTotal> layoutFlags{};
    std::array<std::string, bankTotal> bankNames;
    std::array<std::vector<std::string>, bankTotal> sampleNames;
    mutable std::mutex nameMutex;
};
