// One libFuzzer program per target; QX_FUZZ_TARGET names the target's function.
#include "tests/fuzz/FuzzHarness.h"

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The instances read and write their configuration in a folder of the fuzzer's own.
    const std::string home = fuzz::ScratchFolder();
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    setenv("XDG_DOCUMENTS_DIR", (home + "/documents").c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::QX_FUZZ_TARGET(data, size);
    return 0;
}
