// The libFuzzer entry of one target: QZ_FUZZ_ENTRY names the function of
// FuzzEntries.h that the executable drives (set by the target's CMakeLists).
#include "FuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qz::fuzz::QZ_FUZZ_ENTRY(data, size);
    return 0;
}
