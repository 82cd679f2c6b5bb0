// The receiving end of bank dumps on bytes as a MIDI port could hand them over. The first byte
// chooses how: even, the rest of the input is the stream itself; odd, a real bank dump is
// damaged by the rest of the input, read as edits of three bytes (position high, position low,
// what to do), so that the checks of a nearly whole dump are reached. Either way the stream is
// handed over in pieces whose sizes come from the input, with overruns among them. A dump that
// lost, gained or was cut at one place must never count as whole unless it still holds exactly
// what was sent (a changed byte may pass: the dump has no checksum).
#include "device/DvVaneto.h"
#include "midiin/BankDumpReceiver.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// The dump with the edits applied; lengthChanged tells whether the only edit lost, added or cut.
std::vector<std::uint8_t> damagedDump(const std::uint8_t* edits, std::size_t size,
                                      const DvVaneto& sender, bool& lengthChanged) {
    lengthChanged = size / 3 == 1 && edits[2] % 4 != 1;
    static const std::vector<std::uint8_t> dump = [&sender] {
        std::vector<std::uint8_t> bytes;
        for (const LoMidiEvent& event : sender.bankDump(3, 0)) {
            bytes.insert(bytes.end(), event.bytes.begin(), event.bytes.end());
        }
        return bytes;
    }();
    std::vector<std::uint8_t> stream = dump;
    for (std::size_t at = 0; at + 2 < size; at += 3) {
        // Spread the 16-bit position over the whole dump.
        const std::size_t position =
            ((static_cast<std::size_t>(edits[at]) << 8) | edits[at + 1]) * stream.size() / 65536;
        const std::uint8_t what = edits[at + 2];
        switch (what % 4) {
        case 0:
            stream.erase(stream.begin() + static_cast<std::ptrdiff_t>(position));
            break;
        case 1:
            stream[position] = what;
            break;
        case 2:
            stream.insert(stream.begin() + static_cast<std::ptrdiff_t>(position), what);
            break;
        default:
            stream.resize(position);
            break;
        }
        if (stream.empty()) {
            break;
        }
    }
    return stream;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    static const DvVaneto sender;
    const bool edited = (data[0] & 1) != 0;
    const std::size_t piece = 1 + data[1] * 37;
    bool lengthChanged = false;
    std::vector<std::uint8_t> stream = edited
                                           ? damagedDump(data + 2, size - 2, sender, lengthChanged)
                                           : std::vector<std::uint8_t>(data + 2, data + size);
    // One store for every run: building the factory banks anew each time would cost more than
    // the receiving.
    static DvVaneto store;
    BankDumpReceiver receiver(store);
    std::int64_t time = 0;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        const std::size_t length = std::min(piece, stream.size() - at);
        receiver.feed({stream.data() + at, length}, time += 1000);
        if (stream[at] == 0xFD) {
            receiver.overrun();
        }
        if (at % 4096 < piece) {
            (void)receiver.progress(time);
        }
    }
    receiver.end();
    (void)receiver.takeNotes();
    for (const BankDumpReceiver::Bank& bank : receiver.banks()) {
        (void)BankDumpReceiver::describe(bank);
        if (bank.whole && lengthChanged) {
            const auto got = store.bankData(bank.bank);
            const auto sent = sender.bankData(3);
            if (bank.bank == 3 && !std::equal(got.begin(), got.end(), sent.begin(), sent.end())) {
                __builtin_trap(); // counted whole, yet not what was sent
            }
        }
    }
    return 0;
}
