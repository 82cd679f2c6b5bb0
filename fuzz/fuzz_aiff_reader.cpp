#include "FuzzAudioReader.h"
#include "FuzzInput.h"
#include "audio/LoAiffFileReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    LoAiffFileReader reader(input.path());
    exerciseAudioReader(reader);
    return 0;
}
