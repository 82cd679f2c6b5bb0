// File bytes made into a table by resynthesis: the level pass, the pitch at every slot, the
// periods resampled and lined up. Whatever a header claims, memory stays bounded (the smoke runs
// it under 2 GB).
#include "wavetable/WaveResynthesis.h"
#include "wavetable/WavetableSource.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    WavetableSource source;
    std::string error;
    if (!source.open({data, size}, "fuzz.wav", error)) {
        return 0;
    }
    WaveResynthesis::Options options;
    options.mode = size % 2 == 0 ? WaveResynthesis::Mode::pitch : WaveResynthesis::Mode::spectral;
    options.firstSlot = 240; // a few slots: the work per input stays small
    WaveResynthesis::make(source, "fuzz.wav", options);
    return 0;
}
