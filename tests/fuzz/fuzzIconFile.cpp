#include "display/decoders.h"
#include "tests/fuzz/fuzzTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > maxFuzzInputBytes) {
        return 0;
    }
    drawAtSeveralScales(decodeIconFile(std::span<const std::uint8_t>(data, size)));
    return 0;
}
