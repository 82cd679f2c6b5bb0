// Variable-length quantities and MIDI events read back to back from one stream until an event
// cannot be read any more. The objects are reused from event to event, as a reader reuses them.
#include "midi/LoFileReader.h"
#include "midi/LoMidiEvent.h"
#include "midi/LoVarlength.h"

#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    LoFileReader in({data, size});
    LoVarlength delta;
    LoMidiEvent event;
    std::ostringstream out;
    for (;;) {
        delta.readFrom(in);
        (void)delta.value();
        event.readFrom(in);
        if (event.empty() || !in) {
            break;
        }
        out.str(std::string());
        event.writeTo(out);
        (void)event.hexDump();
    }
    return 0;
}
