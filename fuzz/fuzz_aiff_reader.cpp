#include "FuzzAudioReader.h"
#include "audio/LoAiffFileReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    LoAiffFileReader reader({data, size});
    exerciseAudioReader(reader);
    return 0;
}
