// Variable-length quantities and MIDI events read back to back from one stream until an event
// cannot be read any more.
#include "midi/LoMidiEvent.h"
#include "midi/LoVarlength.h"

#include "midi/LoFileReader.h"

#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    LoFileReader in({data, size});
    for (;;) {
        LoVarlength delta;
        delta.readFrom(in);
        (void)delta.value();
        LoMidiEvent event;
        event.readFrom(in);
        if (event.empty() || !in) {
            break;
        }
        std::ostringstream out;
        event.writeTo(out);
        (void)event.hexDump();
    }
    return 0;
}
