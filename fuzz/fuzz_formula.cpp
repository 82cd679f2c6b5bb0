// Any line typed as a formula: read (the parser's exceptions caught where it is wrapped), then
// evaluated over two slots in either mode and at either level. Nothing may crash or hang.
#include "wavetable/WaveShaper.h"

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > 256) {
        return 0;
    }
    static WaveShaper shaper; // kept between inputs, as the editor's dialog keeps its own
    static const std::vector<std::int16_t> bank(65536, 1000);
    WaveShaper::Request request;
    request.kind = (data[0] & 1U) != 0 ? WaveShaper::Request::Kind::harmonics
                                       : WaveShaper::Request::Kind::formula;
    request.level.kind = (data[0] & 2U) != 0 ? WaveFormula::Level::Kind::fit
                                             : WaveFormula::Level::Kind::normalize;
    request.expression.assign(reinterpret_cast<const char*>(data) + 1, size - 1);
    request.first = 7;
    request.last = 8;
    shaper.shape(bank, request);
    return 0;
}
