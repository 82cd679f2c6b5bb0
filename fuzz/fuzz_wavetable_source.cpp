// A file opened as wavetable material: its chunks read for a frame size (srge, clm, uhWT, cue,
// smpl), the split decided, and the first frames read and resampled to a wave.
#include "wavetable/PeriodicResampler.h"
#include "wavetable/WavetableSource.h"

#include <algorithm>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    WavetableSource source;
    std::string error;
    if (!source.open({data, size}, "fuzz.wav", error)) {
        return 0;
    }
    source.describe();
    const WavetableSource::Split split = source.split(0);
    const std::size_t frame = std::clamp<std::size_t>(split.frameSize, 2, 4096);
    std::vector<double> frames;
    source.readFrames(0, frame, frames, error);
    if (frames.size() == frame) {
        std::vector<double> wave(256);
        PeriodicResampler(frame, 256).resample(frames, wave);
    }
    return 0;
}
