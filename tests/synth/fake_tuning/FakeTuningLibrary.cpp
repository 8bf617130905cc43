// A stand-in for the tuning-master library: a master whose table is equal temperament tuned to
// A = 432 Hz, except note 0 (far below the pitch scale) and note 127 (far above it). Note 61 is
// filtered out. Tests switch the master on and off through FakeTuningSetMaster.
#include <cmath>

#if defined(_WIN32)
#define FAKE_EXPORT extern "C" __declspec(dllexport)
#else
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {
double table[128];
bool master = true;
int clients = 0;
bool MakeTable() {
    for (int i = 0; i < 128; ++i)
        table[i] = 432.0 * std::pow(2.0, (i - 69) / 12.0);
    table[0] = 1.0;
    table[127] = 40000.0;
    return true;
}
const bool made = MakeTable();
} // namespace

FAKE_EXPORT void MTS_RegisterClient() {
    ++clients;
}
FAKE_EXPORT void MTS_DeregisterClient() {
    --clients;
}
FAKE_EXPORT bool MTS_HasMaster() {
    return master;
}
FAKE_EXPORT bool MTS_ShouldFilterNote(char note, char) {
    return made && note == 61;
}
FAKE_EXPORT const double* MTS_GetTuningTable() {
    return table;
}
FAKE_EXPORT const char* MTS_GetScaleName() {
    return "432 Hz";
}
FAKE_EXPORT void FakeTuningSetMaster(bool on) {
    master = on;
}
FAKE_EXPORT int FakeTuningClients() {
    return clients;
}
