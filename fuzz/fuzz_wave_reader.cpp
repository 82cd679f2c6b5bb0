#include "FuzzAudioReader.h"
#include "audio/LoWaveFileReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    LoWaveFileReader reader({data, size});
    exerciseAudioReader(reader);
    return 0;
}
