// The whole import on arbitrary bytes, raw fallback included, into a bank store.
#include "FuzzInput.h"
#include "app/SampleImport.h"
#include "device/DvVaneto.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static DvVaneto store;
    FuzzInput input(data, size);
    SampleImport::importInto(input.path(), store, 3);
    return 0;
}
