#include "FuzzAudioReader.h"
#include "FuzzInput.h"
#include "audio/LoWaveFileReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    LoWaveFileReader reader(input.path());
    exerciseAudioReader(reader);
    return 0;
}
