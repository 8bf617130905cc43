// Construction of the effect record, the calls the instance makes into the host, host
// identification and the exchange of state chunks.
#include "host/IPlugVST.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

namespace {

// Substrings of the lower-cased host product name, searched in this order; the first found
// decides the host kind.
const struct {
    const char* text;
    int kind;
} kHostKinds[] = {
    {"cubase", 3},      {"reaper", 1},      {"nuendo", 4},
    {"cakewalk", 5},    {"samplitude", 8},  {"fruity", 7},
    {"live", 9},        {"melodyne", 12},   {"vstmanlib", 13},
    {"aulab", 14},      {"garageband", 22}, {"forte", 15},
    {"chainer", 16},    {"audition", 17},   {"orion", 18},
    {"sawstudio", 20},  {"logic", 21},      {"digital", 23},
    {"audiomulch", 25}, {"presonus", 26},   {"vst3plugintesthost", 27},
    {"protools", 2},    {"ardour", 28},     {"openmpt", 30},
    {"renoise", 29},    {"standalone", 24},
};

std::string LowerCase(const char* text) {
    std::string lower(text ? text : "");
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

VstInt32 ArrangementType(int channels) {
    switch (channels) {
    case 0:
        return kSpeakerArrEmpty;
    case 1:
        return kSpeakerArrMono;
    case 2:
        return kSpeakerArrStereo;
    default:
        return kSpeakerArrUserDefined;
    }
}

} // namespace

int HostKindOfProduct(const char* product) {
    std::string lower = LowerCase(product);
    if (lower.empty()) return 0;
    for (const auto& entry : kHostKinds)
        if (lower.find(entry.text) != std::string::npos) return entry.kind;
    return 0;
}

IPlugVST::IPlugVST(const PlugIdentity& identity, audioMasterCallback hostCallback)
    : IPlugBase(identity), hostCallback_(hostCallback) {
    std::memset(&effect_, 0, sizeof(effect_));
    std::memset(&editRect_, 0, sizeof(editRect_));
    std::memset(&inputArrangement_, 0, sizeof(inputArrangement_));
    std::memset(&outputArrangement_, 0, sizeof(outputArrangement_));

    effect_.magic = kEffectMagic;
    effect_.dispatcher = DispatcherProc;
    effect_.process = AccumulateProc;
    effect_.setParameter = SetParameterProc;
    effect_.getParameter = GetParameterProc;
    effect_.numPrograms = NPresets();
    effect_.numParams = NParams();
    effect_.numInputs = NInChannels();
    effect_.numOutputs = NOutChannels();
    effect_.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
    if (DoesStateChunks()) effect_.flags |= effFlagsProgramChunks;
    if (IsInstrument()) effect_.flags |= effFlagsIsSynth;
    if (LegalIO(1, -1)) effect_.flags |= effFlagsCanMono;
    effect_.initialDelay = GetLatency();
    effect_.ioRatio = 1.0f;
    effect_.object = this;
    effect_.uniqueID = GetUniqueID();
    effect_.version = GetDecimalVersion();
    effect_.processReplacing = ReplaceProc;
    effect_.processDoubleReplacing = ReplaceDoubleProc;

    inputArrangement_.numChannels = NInChannels();
    inputArrangement_.type = ArrangementType(NInChannels());
    outputArrangement_.numChannels = NOutChannels();
    outputArrangement_.type = ArrangementType(NOutChannels());

    SetBlockSize(1024);
}

IPlugVST::~IPlugVST() {
    effect_.object = nullptr;
}

VstIntPtr IPlugVST::HostCall(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                             float opt) {
    return hostCallback_ ? hostCallback_(&effect_, opcode, index, value, ptr, opt) : 0;
}

// --- Calls into the host.

void IPlugVST::BeginParameterEdit(int index) {
    HostCall(audioMasterBeginEdit, index);
}

void IPlugVST::NotifyHostOfParameter(int index, double normalized) {
    HostCall(audioMasterAutomate, index, 0, nullptr, static_cast<float>(normalized));
}

void IPlugVST::EndParameterEdit(int index) {
    HostCall(audioMasterEndEdit, index);
}

void IPlugVST::NotifyHostOfProgramChange() {
    HostCall(audioMasterUpdateDisplay);
}

bool IPlugVST::IsRenderingOffline() {
    return HostCall(audioMasterGetCurrentProcessLevel) == kVstProcessLevelOffline;
}

const VstTimeInfo* IPlugVST::HostTime(VstInt32 filter) {
    return reinterpret_cast<const VstTimeInfo*>(HostCall(audioMasterGetTime, 0, filter));
}

int IPlugVST::GetSamplePosition() {
    const VstTimeInfo* time = HostTime(0);
    return time && time->samplePos >= 0.0 ? TruncateToInt(time->samplePos + 0.5) : 0;
}

double IPlugVST::GetTempo() {
    const VstTimeInfo* time = HostTime(kVstTempoValid);
    return time && (time->flags & kVstTempoValid) && time->tempo >= 0.0 ? time->tempo : 0.0;
}

void IPlugVST::GetTimeSignature(int* numerator, int* denominator) {
    *numerator = *denominator = 0;
    const VstTimeInfo* time = HostTime(kVstTimeSigValid);
    if (time && (time->flags & kVstTimeSigValid) && time->timeSigNumerator >= 0 &&
        time->timeSigDenominator >= 0) {
        *numerator = time->timeSigNumerator;
        *denominator = time->timeSigDenominator;
    }
}

void IPlugVST::GetTransportInfo(ITransportInfo* info) {
    const VstInt32 wanted =
        kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid;
    const VstTimeInfo* time = HostTime(wanted);
    if (!time || !(time->flags & wanted)) return;
    info->samplePosition = time->samplePos;
    if ((time->flags & kVstPpqPosValid) && time->ppqPos >= 0.0) info->ppqPosition = time->ppqPos;
    if ((time->flags & kVstTempoValid) && time->tempo > 0.0) info->tempo = time->tempo;
    if ((time->flags & kVstBarsValid) && time->barStartPos >= 0.0)
        info->lastBarStart = time->barStartPos;
    if ((time->flags & kVstCyclePosValid) && time->cycleStartPos >= 0.0 &&
        time->cycleEndPos >= 0.0) {
        info->cycleStart = time->cycleStartPos;
        info->cycleEnd = time->cycleEndPos;
    }
    if ((time->flags & kVstTimeSigValid) && time->timeSigNumerator > 0 &&
        time->timeSigDenominator > 0) {
        info->numerator = time->timeSigNumerator;
        info->denominator = time->timeSigDenominator;
    }
    info->playing = (time->flags & kVstTransportPlaying) != 0;
    info->cycleActive = (time->flags & kVstTransportCycleActive) != 0;
}

bool IPlugVST::SendMidiMessage(const IMidiMessage& message) {
    VstMidiEvent event;
    std::memset(&event, 0, sizeof(event));
    event.type = kVstMidiType;
    event.byteSize = sizeof(VstMidiEvent);
    event.deltaFrames = message.offset;
    event.midiData[0] = static_cast<char>(message.status);
    event.midiData[1] = static_cast<char>(message.data1);
    event.midiData[2] = static_cast<char>(message.data2);
    VstEvents events;
    std::memset(&events, 0, sizeof(events));
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&event);
    return HostCall(audioMasterProcessEvents, 0, 0, &events) == 1;
}

bool IPlugVST::SendSysExMessage(const ISysExMessage& message) {
    VstMidiSysexEvent event;
    std::memset(&event, 0, sizeof(event));
    event.type = kVstSysExType;
    event.byteSize = sizeof(VstMidiSysexEvent);
    event.deltaFrames = message.offset;
    event.dumpBytes = message.size;
    event.sysexDump = reinterpret_cast<char*>(const_cast<uint8_t*>(message.data));
    VstEvents events;
    std::memset(&events, 0, sizeof(events));
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&event);
    return HostCall(audioMasterProcessEvents, 0, 0, &events) == 1;
}

// --- Host identification.

int IPlugVST::IdentifyHost() {
    if (hostKind_ != -1) return hostKind_;
    char product[256] = {0};
    HostCall(audioMasterGetProductString, 0, 0, product);
    product[255] = '\0';
    int version = 0;
    if (product[0]) {
        VstIntPtr decimal = HostCall(audioMasterGetVendorVersion);
        int major = static_cast<int>(decimal / 10000),
            minor = static_cast<int>(decimal % 10000) / 100;
        version = (major << 16) + (minor << 8) + static_cast<int>(decimal % 100);
    }
    hostKind_ = HostKindOfProduct(product);
    hostVersion_ = version;
    return hostKind_;
}

bool IPlugVST::HostWantsProgramChunks() {
    if (wantsProgramChunks_ < 0) {
        char vendor[256] = {0};
        HostCall(audioMasterGetVendorString, 0, 0, vendor);
        vendor[255] = '\0';
        std::string lower = LowerCase(vendor);
        wantsProgramChunks_ = lower == "native instruments" || lower == "juce vst host";
    }
    return wantsProgramChunks_ == 1;
}

void IPlugVST::CopyChannelCountsToEffect() {
    int inputs = 0, outputs = 0;
    for (int i = 0; i < NInChannels(); ++i)
        inputs += InChannel(i).connected;
    for (int i = 0; i < NOutChannels(); ++i)
        outputs += OutChannel(i).connected;
    effect_.numInputs = inputs;
    effect_.numOutputs = outputs;
    inputArrangement_.numChannels = inputs;
    outputArrangement_.numChannels = outputs;
}

void IPlugVST::InitForHost() {
    if (initializedForHost_) return;
    initializedForHost_ = true;
    int kind = IdentifyHost();
    if (kind == 15 || kind == 17 || kind == 18 || kind == 20) {
        // These hosts want at most a stereo input and every output channel.
        for (int i = 2; i < NInChannels(); ++i) {
            IInputChannel& channel = InChannel(i);
            channel.connected = false;
            InputPointers()[channel.slot] =
                channel.scratch.empty() ? nullptr : channel.scratch.data();
        }
        if (NOutChannels() >= 3)
            for (int i = 2; i < NOutChannels(); ++i)
                OutChannel(i).connected = true;
    }
    CopyChannelCountsToEffect();
    OnHostIdentified();
}

// --- Editor and latency.

void IPlugVST::AttachEditor(IEditor* editor) {
    IPlugBase::AttachEditor(editor);
    if (editor) {
        effect_.flags |= effFlagsHasEditor;
        ResizeEditor();
    }
}

void IPlugVST::ResizeEditor() {
    if (IEditor* editor = GetEditor()) {
        editRect_.top = editRect_.left = 0;
        editRect_.bottom = static_cast<int16_t>(editor->Height());
        editRect_.right = static_cast<int16_t>(editor->Width());
    }
    OnEditorResized();
}

void IPlugVST::SetLatency(int samples) {
    IPlugBase::SetLatency(samples);
    effect_.initialDelay = samples;
}

// --- State chunks.

int IPlugVST::GetChunk(int index, void** data) {
    if (!data) return 0;
    bool bank = index == 0 && !HostWantsProgramChunks();
    ChunkBuffer& chunk = bank ? bankChunk_ : programChunk_;
    WriteChunkHeader(chunk);
    bool ok;
    if (bank) {
        ModifyCurrentPreset();
        ok = SerializePresets(chunk);
    } else {
        SerializeState(chunk);
        ok = chunk.AppendText(GetPresetName(GetCurrentPresetIndex()));
    }
    if (!ok || chunk.Empty()) return 0;
    *data = chunk.Data();
    return chunk.Size();
}

int IPlugVST::SetChunk(int index, const void* data, int size) {
    if (!data || size < 0) return 0;
    bool programHost = HostWantsProgramChunks();
    bool bank = index == 0 && !programHost;
    ChunkBuffer& chunk = bank ? bankChunk_ : programChunk_;
    chunk.Clear();
    chunk.AppendBytes(data, size);
    int position = 0;
    int32_t version = ReadChunkHeader(chunk, position);
    int result;
    if (bank && version >= 0x10000) {
        result = UnserializePresets(chunk, position);
    } else {
        ChunkBuffer before;
        SerializeState(before);
        result = UnserializeState(chunk, position);
        if (result < 0) {
            // A state that breaks off is refused whole: the live state goes back to what it
            // was and no program takes the partial values.
            UnserializeState(before, 0);
        } else if (result < size) {
            std::string name;
            result = chunk.ReadText(result, &name);
            ModifyCurrentPreset(name.c_str());
        } else {
            ModifyCurrentPreset();
        }
    }
    if (programHost && result != size) {
        // Such a host may hand back a whole bank where a program was expected.
        bankChunk_.Clear();
        bankChunk_.AppendBytes(data, size);
        int bankPosition = 0;
        if (ReadChunkHeader(bankChunk_, bankPosition) >= 0x10000) {
            if (UnserializePresets(bankChunk_, bankPosition) < 0) return 0;
        } else if (result < 0) {
            return 0; // neither a program nor a bank
        }
    } else if (result < 0) {
        return 0;
    }
    RefreshParameterControls();
    return 1;
}
