// The whole import on arbitrary bytes, raw fallback included, into a bank store. 256 values take
// every path that the bank's 65536 take, in a fraction of the time.
#include "files/SampleImport.h"
#include "device/DvVaneto.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static DvVaneto store;
    auto result = SampleImport::load({data, size}, "fuzz.bin", 256);
    SampleImport::applyTo(result, store, 3);
    return 0;
}
