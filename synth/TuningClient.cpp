#include "synth/TuningClient.h"

#include "dsp/PitchTable.h"
#include "host/Os.h"

#include <cmath>
#include <cstdio>
#include <mutex>

namespace {

double EqualTempered(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

template <class Function> void Bind(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(os::LibrarySymbol(library, name));
}

} // namespace

TuningLibrary::TuningLibrary() {
    for (int i = 0; i < 128; ++i)
        inverseEqualTemperament[i] = 1.0 / EqualTempered(i);
    const std::string path = os::TuningLibraryPath();
    if (!path.empty() && os::FileExists(path)) Load(path);
}

TuningLibrary::~TuningLibrary() {
    Unload();
}

TuningLibrary& TuningLibrary::Instance() {
    static TuningLibrary library; // loaded once, thread-safely, on first use
    return library;
}

bool TuningLibrary::Load(const std::string& path) {
    Unload();
    library_ = os::OpenLibrary(path, nullptr);
    if (!library_) return false;
    Bind(library_, "MTS_RegisterClient", registerClient);
    Bind(library_, "MTS_DeregisterClient", deregisterClient);
    Bind(library_, "MTS_HasMaster", hasMaster);
    Bind(library_, "MTS_ShouldFilterNote", shouldFilterNote);
    Bind(library_, "MTS_ShouldFilterNoteMultiChannel", shouldFilterNoteMultiChannel);
    Bind(library_, "MTS_GetTuningTable", getTuningTable);
    Bind(library_, "MTS_GetMultiChannelTuningTable", getMultiChannelTuningTable);
    Bind(library_, "MTS_UseMultiChannelTuning", useMultiChannelTuning);
    Bind(library_, "MTS_GetScaleName", getScaleName);
    if (getTuningTable) masterTable = getTuningTable();
    for (int channel = 0; channel < 16; ++channel)
        if (getMultiChannelTuningTable)
            channelTables[channel] = getMultiChannelTuningTable(static_cast<char>(channel));
    return true;
}

void TuningLibrary::Unload() {
    if (library_) os::CloseLibrary(library_);
    library_ = nullptr;
    registerClient = deregisterClient = nullptr;
    hasMaster = nullptr;
    shouldFilterNote = shouldFilterNoteMultiChannel = nullptr;
    getTuningTable = nullptr;
    getMultiChannelTuningTable = nullptr;
    useMultiChannelTuning = nullptr;
    getScaleName = nullptr;
    masterTable = nullptr;
    for (const double*& table : channelTables)
        table = nullptr;
}

TuningClient::TuningClient() {
    for (int i = 0; i < 128; ++i)
        localTable_[i] = EqualTempered(i);
    TuningLibrary& library = TuningLibrary::Instance();
    if (library.registerClient) library.registerClient();
}

TuningClient::~TuningClient() {
    TuningLibrary& library = TuningLibrary::Instance();
    if (library.deregisterClient) library.deregisterClient();
}

bool TuningClient::MasterPresent() const {
    const TuningLibrary& library = TuningLibrary::Instance();
    return library.masterTable && library.hasMaster && library.hasMaster();
}

int TuningClient::NotePitch(int note) {
    if (!MasterPresent()) return note * 128;
    frequencyRequested_ = true;
    const double frequency = TuningLibrary::Instance().masterTable[note & 127];
    // Bisection over the pitch scale: steps 4320, 2160, ... 1 around the middle.
    int pitch = 8640;
    for (int step = 8640; step != 0;) {
        const double guess = PitchToFrequency(pitch);
        step /= 2;
        if (frequency < guess)
            pitch -= step;
        else if (frequency > guess)
            pitch += step;
        else
            break;
    }
    return pitch;
}

bool TuningClient::ShouldFilter(int note) {
    frequencyRequested_ = filterRequested_ = false;
    const TuningLibrary& library = TuningLibrary::Instance();
    if (!MasterPresent() || !library.shouldFilterNote) return false;
    return library.shouldFilterNote(static_cast<char>(note & 127), static_cast<char>(255));
}

std::string TuningClient::TuningText() const {
    if (!MasterPresent()) return std::string();
    const TuningLibrary& library = TuningLibrary::Instance();
    const char* scale = library.getScaleName ? library.getScaleName() : name_;
    char text[256];
    std::snprintf(text, sizeof(text), "Micro Tuning: %s", scale ? scale : "");
    return text;
}
