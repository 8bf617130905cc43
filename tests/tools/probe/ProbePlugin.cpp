// A VST 2 instrument for testing hosts. It writes a log of every call it receives and of the
// host's answers to its own calls, and its audio marks where notes arrive: a note-on at offset
// d of a block puts velocity / 128 into the left output and key / 128 into the right output at
// frame d of that block; every other sample is 0.
//
// Set up through the environment when the entry point runs:
//   QX_PROBE_LOG    file that receives the log when the instance is closed
//   QX_PROBE_FLAGS  any of "mono" (one output), "nodouble" (no double processing),
//                   "nochunks" (no program chunks), "noreplacing" (only the accumulating
//                   callback is announced), "refuse" (the entry creates no instance)
#include "host/vst2.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#define PROBE_EXPORT
#else
#define PROBE_EXPORT __attribute__((visibility("default")))
#endif

namespace {

constexpr int kParams = 3;
constexpr int kPrograms = 4;
constexpr int kMaxBlock = 65536;

struct Mark {
    int offset;
    int key;
    int velocity;
};

struct Probe {
    AEffect effect;
    audioMasterCallback host = nullptr;
    std::string logPath;
    std::string log;
    float params[kParams] = {0.25f, 0.5f, 1.0f};
    int program = 0;
    std::vector<Mark> marks;
};

Probe* ProbeOf(AEffect* effect) {
    return static_cast<Probe*>(effect->object);
}

void Log(Probe* probe, const std::string& line) {
    probe->log += line + "\n";
}

std::string Hex(const unsigned char* bytes, size_t size) {
    std::string text;
    char digits[4];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(digits, sizeof digits, i ? " %02x" : "%02x", bytes[i]);
        text += digits;
    }
    return text;
}

void CopyText(void* ptr, const std::string& text) {
    if (ptr) std::strcpy(static_cast<char*>(ptr), text.c_str());
}

VstIntPtr Ask(Probe* probe, AEffect* effect, VstInt32 opcode, void* ptr = nullptr) {
    return probe->host(effect, opcode, 0, 0, ptr, 0.0f);
}

void LogHostAnswers(Probe* probe) {
    char vendor[256] = {0};
    char product[256] = {0};
    AEffect* e = &probe->effect;
    Ask(probe, e, audioMasterGetVendorString, vendor);
    Ask(probe, e, audioMasterGetProductString, product);
    char line[768];
    std::snprintf(line, sizeof line,
                  "host vendor=%s product=%s version=%ld level=%ld rate=%ld block=%ld", vendor,
                  product, (long)Ask(probe, e, audioMasterGetVendorVersion),
                  (long)Ask(probe, e, audioMasterGetCurrentProcessLevel),
                  (long)Ask(probe, e, audioMasterGetSampleRate),
                  (long)Ask(probe, e, audioMasterGetBlockSize));
    Log(probe, line);
    std::string canDo = "host canDo";
    for (const char* what : {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo",
                             "receiveVstEvents", "receiveVstMidiEvent", "offline", "nonsense"}) {
        VstIntPtr answer = probe->host(e, audioMasterCanDo, 0, 0, const_cast<char*>(what), 0);
        canDo += std::string(" ") + what + "=" + std::to_string(answer);
    }
    Log(probe, canDo);
    Log(probe, "host unknownOpcode=" + std::to_string(Ask(probe, e, 99)));
}

void LogEvents(Probe* probe, const VstEvents* events) {
    Log(probe, "events " + std::to_string(events->numEvents));
    for (VstInt32 i = 0; i < events->numEvents; ++i) {
        const VstEvent* event = events->events[i];
        if (event->type == kVstMidiType) {
            const VstMidiEvent* midi = reinterpret_cast<const VstMidiEvent*>(event);
            const unsigned char* data = reinterpret_cast<const unsigned char*>(midi->midiData);
            Log(probe, "midi " + std::to_string(midi->deltaFrames) + " " + Hex(data, 3));
            if ((data[0] & 0xF0) == 0x90 && data[2] > 0)
                probe->marks.push_back(Mark{midi->deltaFrames, data[1], data[2]});
        } else if (event->type == kVstSysExType) {
            const VstMidiSysexEvent* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
            Log(probe, "sysex " + std::to_string(sysex->deltaFrames) + " " +
                           Hex(reinterpret_cast<const unsigned char*>(sysex->sysexDump),
                               (size_t)sysex->dumpBytes));
        }
    }
}

void Close(Probe* probe) {
    Log(probe, "close");
    if (!probe->logPath.empty()) {
        if (std::FILE* file = std::fopen(probe->logPath.c_str(), "wb")) {
            std::fwrite(probe->log.data(), 1, probe->log.size(), file);
            std::fclose(file);
        }
    }
    delete probe;
}

VstIntPtr VSTCALLBACK Dispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                 void* ptr, float opt) {
    Probe* probe = ProbeOf(effect);
    switch (opcode) {
    case effOpen:
        Log(probe, "open");
        LogHostAnswers(probe);
        return 0;
    case effClose:
        Close(probe);
        return 0;
    case effSetSampleRate:
        Log(probe, "sampleRate " + std::to_string((long)opt));
        return 0;
    case effSetBlockSize:
        Log(probe, "blockSize " + std::to_string((long)value));
        return 0;
    case effMainsChanged:
        Log(probe, "mains " + std::to_string((long)value));
        return 0;
    case effSetProgram:
        Log(probe, "program " + std::to_string((long)value));
        probe->program = (int)value;
        return 0;
    case effGetProgram:
        return probe->program;
    case effSetProgramName:
        Log(probe, std::string("programName ") + static_cast<const char*>(ptr));
        return 0;
    case effGetProgramName:
        CopyText(ptr, "Probe " + std::to_string(probe->program));
        return 0;
    case effGetProgramNameIndexed:
        CopyText(ptr, "Probe " + std::to_string(index));
        return 1;
    case effGetParamName: {
        static const char* const kNames[kParams] = {"Gain", "Pan", "Mode"};
        if (index >= 0 && index < kParams) CopyText(ptr, kNames[index]);
        return 0;
    }
    case effGetParamLabel:
        CopyText(ptr, index == 0 ? "dB" : "");
        return 0;
    case effGetParamDisplay: {
        char text[32];
        std::snprintf(text, sizeof text, "%.2f",
                      index >= 0 && index < kParams ? probe->params[index] : 0.0f);
        CopyText(ptr, text);
        return 0;
    }
    case effSetChunk:
        Log(probe,
            "chunk index=" + std::to_string(index) + " size=" + std::to_string((long)value) +
                " data=" +
                Hex(static_cast<const unsigned char*>(ptr), (size_t)(value < 64 ? value : 64)));
        return 1;
    case effProcessEvents:
        LogEvents(probe, static_cast<const VstEvents*>(ptr));
        return 1;
    case effGetPlugCategory:
        return kPlugCategSynth;
    case effGetEffectName:
        CopyText(ptr, "Probe");
        return 1;
    case effGetVendorString:
        CopyText(ptr, "Probe Vendor");
        return 1;
    case effGetProductString:
        CopyText(ptr, "Probe Product");
        return 1;
    case effGetVendorVersion:
        return 7;
    case effGetVstVersion:
        return 2400;
    default:
        Log(probe, "opcode " + std::to_string(opcode));
        return 0;
    }
}

void LogBlock(Probe* probe, AEffect* effect, const char* kind, VstInt32 frames) {
    const VstTimeInfo* time = reinterpret_cast<const VstTimeInfo*>(
        probe->host(effect, audioMasterGetTime, 0, 0, nullptr, 0.0f));
    char line[256];
    if (!time) {
        std::snprintf(line, sizeof line, "process %s %d no-time", kind, frames);
    } else {
        std::snprintf(line, sizeof line,
                      "process %s %d pos=%.0f rate=%.0f tempo=%.3f ppq=%.4f bar=%.4f sig=%d/%d "
                      "flags=%x",
                      kind, frames, time->samplePos, time->sampleRate, time->tempo, time->ppqPos,
                      time->barStartPos, time->timeSigNumerator, time->timeSigDenominator,
                      (unsigned)time->flags);
    }
    Log(probe, line);
}

template <typename Sample>
void Render(Probe* probe, AEffect* effect, Sample** outputs, VstInt32 frames, bool accumulate,
            const char* kind) {
    LogBlock(probe, effect, kind, frames);
    for (VstInt32 c = 0; c < effect->numOutputs; ++c)
        for (VstInt32 i = 0; i < frames; ++i)
            if (!accumulate) outputs[c][i] = 0;
    for (const Mark& mark : probe->marks) {
        if (mark.offset < 0 || mark.offset >= frames) {
            Log(probe, "late " + std::to_string(mark.offset));
            continue;
        }
        outputs[0][mark.offset] += (Sample)(mark.velocity / 128.0);
        if (effect->numOutputs > 1) outputs[1][mark.offset] += (Sample)(mark.key / 128.0);
    }
    probe->marks.clear();
}

void VSTCALLBACK ProcessReplacing(AEffect* effect, float**, float** outputs, VstInt32 frames) {
    Render(ProbeOf(effect), effect, outputs, frames, false, "f");
}
void VSTCALLBACK ProcessAccumulating(AEffect* effect, float**, float** outputs, VstInt32 frames) {
    Render(ProbeOf(effect), effect, outputs, frames, true, "a");
}
void VSTCALLBACK ProcessDouble(AEffect* effect, double**, double** outputs, VstInt32 frames) {
    Render(ProbeOf(effect), effect, outputs, frames, false, "d");
}

void VSTCALLBACK SetParameter(AEffect* effect, VstInt32 index, float value) {
    Probe* probe = ProbeOf(effect);
    char line[64];
    std::snprintf(line, sizeof line, "param %d %.4f", index, value);
    Log(probe, line);
    if (index >= 0 && index < kParams) probe->params[index] = value;
}

float VSTCALLBACK GetParameter(AEffect* effect, VstInt32 index) {
    Probe* probe = ProbeOf(effect);
    return index >= 0 && index < kParams ? probe->params[index] : 0.0f;
}

bool HasFlag(const char* flags, const char* name) {
    return flags && std::strstr(flags, name);
}

} // namespace

extern "C" AEffect* ProbeEntry(audioMasterCallback host) {
    const char* flags = std::getenv("QX_PROBE_FLAGS");
    if (!host || HasFlag(flags, "refuse")) return nullptr;
    Probe* probe = new Probe();
    const char* logPath = std::getenv("QX_PROBE_LOG");
    if (logPath) probe->logPath = logPath;
    probe->host = host;
    probe->marks.reserve(kMaxBlock);
    // The host must answer before any effect record exists.
    Log(probe, "entry version=" +
                   std::to_string((long)host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f)));

    AEffect& effect = probe->effect;
    std::memset(&effect, 0, sizeof effect);
    effect.magic = kEffectMagic;
    effect.dispatcher = Dispatcher;
    effect.process = ProcessAccumulating;
    effect.setParameter = SetParameter;
    effect.getParameter = GetParameter;
    effect.numPrograms = kPrograms;
    effect.numParams = kParams;
    effect.numInputs = 0;
    effect.numOutputs = HasFlag(flags, "mono") ? 1 : 2;
    effect.flags = effFlagsIsSynth;
    if (!HasFlag(flags, "noreplacing")) effect.flags |= effFlagsCanReplacing;
    if (!HasFlag(flags, "nochunks")) effect.flags |= effFlagsProgramChunks;
    if (!HasFlag(flags, "nodouble")) effect.flags |= effFlagsCanDoubleReplacing;
    effect.ioRatio = 1.0f;
    effect.object = probe;
    effect.uniqueID = VstFourCC('q', 'x', 'P', 'b');
    effect.version = 7;
    effect.processReplacing = ProcessReplacing;
    effect.processDoubleReplacing = HasFlag(flags, "nodouble") ? nullptr : ProcessDouble;
    return &effect;
}

#if defined(PROBE_MAIN_ONLY)
// Older plug-ins export their entry only under the name main.
#if !defined(_WIN32)
extern "C" PROBE_EXPORT AEffect* ProbeMain(audioMasterCallback host) __asm__("main");
extern "C" AEffect* ProbeMain(audioMasterCallback host) {
    return ProbeEntry(host);
}
#endif
#else
extern "C" PROBE_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback host) {
    return ProbeEntry(host);
}
#endif
