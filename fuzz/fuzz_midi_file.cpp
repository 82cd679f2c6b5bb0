// A bank file as the Open from Disk command reads it: every track, then the bank it names and a
// load of the track into that bank (or into bank 0 when it names none).
#include "device/DvBankMessages.h"
#include "device/DvVaneto.h"
#include "midi/LoMidiFileReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static DvVaneto store;
    LoMidiFileReader reader({data, size});
    if (!reader.isMidiFile()) {
        return 0;
    }
    for (;;) {
        LoMidiEventList track;
        reader.readTrack(track);
        if (track.empty()) {
            break;
        }
        const int bank = DvBankMessages::identifyBank(track);
        store.loadBank(track, bank >= 0 && bank < store.bankCount() ? bank : 0);
    }
    return 0;
}
