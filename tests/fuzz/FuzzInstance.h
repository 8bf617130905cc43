// A fresh instrument instance driven through its effect record as a host drives it, and the
// checks every fuzz target makes after its input.
#pragma once

#include "host/vst2.h"
#include "instrument/QX4470.h"

#include <cstdint>
#include <vector>

namespace fuzz {

// Stops the process with the reason: the fuzzer keeps the input, a test program fails.
[[noreturn]] void Fail(const char* what, int detail = 0);
inline void Require(bool condition, const char* what, int detail = 0) {
    if (!condition) Fail(what, detail);
}

class Instance {
public:
    // programChunkHost: the host names a vendor that exchanges program chunks only.
    explicit Instance(bool programChunkHost = false);
    ~Instance(); // effClose
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    AEffect* Effect() const { return effect_; }
    QX4470& Synth() const;
    VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);

    void SendMidi(uint8_t status, uint8_t data1, uint8_t data2, int offset = 0);
    void SendSysEx(const uint8_t* bytes, int size, int offset = 0);
    // One block of effProcessEvents as a host hands it over.
    void SendEvents(const std::vector<VstEvent*>& events);
    // Renders a block and requires every sample finite and within the output's bound.
    void Render(int frames);

    // Everything a host may rely on after any input: the instance answers, its parameters and
    // program names are within their limits, its bank chunk reads back to itself and a note
    // renders finite.
    void CheckWhole();

private:
    void CheckParameters();
    void CheckProgramNames();
    void CheckChunkRoundTrip();
    void CheckNoteRenders();

    AEffect* effect_ = nullptr;
    std::vector<float> left_, right_;
};

} // namespace fuzz
