#include "tests/plugin/TestHost.h"

#include "host/Os.h"

#include <cstring>
#include <gtest/gtest.h>

std::string TestHost::pluginPath;

namespace {
TestHost* activeHost = nullptr; // the tests run on one thread, one host at a time
}

TestHost::TestHost() {
    activeHost = this;
    std::memset(&time_, 0, sizeof(time_));
    time_.sampleRate = 44100.0;
    time_.tempo = 120.0;
    time_.flags = kVstTempoValid;
    std::string error;
    library_ = os::OpenLibrary(pluginPath, &error);
    if (!library_) ADD_FAILURE() << "cannot load " << pluginPath << ": " << error;
}

TestHost::~TestHost() {
    // The library stays loaded: instances a test left open must not point into freed code.
    if (activeHost == this) activeHost = nullptr;
}

AEffect* TestHost::Create(const char* entry) {
    VstPluginMainProc main =
        reinterpret_cast<VstPluginMainProc>(os::LibrarySymbol(library_, entry));
    if (!main) return nullptr;
    return main(Callback);
}

void TestHost::Close(AEffect* effect) {
    if (effect) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

VstIntPtr TestHost::Call(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                         void* ptr, float opt) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

std::string TestHost::Text(AEffect* effect, VstInt32 opcode, VstInt32 index) {
    char text[256];
    std::memset(text, 0, sizeof(text));
    Call(effect, opcode, index, 0, text);
    return text;
}

std::string TestHost::ProgramName(AEffect* effect, int index) {
    return Text(effect, effGetProgramNameIndexed, index);
}

std::vector<uint8_t> TestHost::GetChunk(AEffect* effect, int index) {
    void* data = nullptr;
    VstIntPtr size = Call(effect, effGetChunk, index, 0, &data);
    if (size <= 0 || !data) return {};
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
}

VstIntPtr TestHost::SetChunk(AEffect* effect, int index, std::vector<uint8_t> bytes) {
    return Call(effect, effSetChunk, index, static_cast<VstIntPtr>(bytes.size()), bytes.data());
}

VstIntPtr TestHost::SendEvents(AEffect* effect, const std::vector<VstEvent*>& events) {
    std::vector<uint8_t> storage(sizeof(VstEvents) + events.size() * sizeof(VstEvent*));
    VstEvents* list = reinterpret_cast<VstEvents*>(storage.data());
    list->numEvents = static_cast<VstInt32>(events.size());
    for (size_t i = 0; i < events.size(); ++i)
        list->events[i] = events[i];
    return Call(effect, effProcessEvents, 0, 0, list);
}

VstIntPtr TestHost::SendSysEx(AEffect* effect, std::vector<uint8_t> bytes) {
    VstMidiSysexEvent event;
    std::memset(&event, 0, sizeof(event));
    event.type = kVstSysExType;
    event.byteSize = sizeof(event);
    event.dumpBytes = static_cast<VstInt32>(bytes.size());
    event.sysexDump = reinterpret_cast<char*>(bytes.data());
    return SendEvents(effect, {reinterpret_cast<VstEvent*>(&event)});
}

int TestHost::Count(int opcode) const {
    int count = 0;
    for (int seen : opcodes)
        count += seen == opcode;
    return count;
}

VstIntPtr VSTCALLBACK TestHost::Callback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                         void* ptr, float opt) {
    TestHost* host = activeHost;
    if (!host) return 0;
    std::lock_guard<std::mutex> lock(host->recordLock_);
    host->opcodes.push_back(opcode);
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterAutomate:
        host->automation.emplace_back(index, opt);
        return 0;
    case audioMasterGetTime:
        return reinterpret_cast<VstIntPtr>(&host->time_);
    case audioMasterGetProductString:
        std::strncpy(static_cast<char*>(ptr), host->product.c_str(), 63);
        return 1;
    case audioMasterGetVendorString:
        std::strncpy(static_cast<char*>(ptr), host->vendor.c_str(), 63);
        return 1;
    case audioMasterGetVendorVersion:
        return host->vendorVersion;
    case audioMasterProcessEvents: {
        const VstEvents* events = static_cast<const VstEvents*>(ptr);
        for (int i = 0; events && i < events->numEvents; ++i) {
            const VstEvent* event = events->events[i];
            if (event->type == kVstSysExType) {
                const VstMidiSysexEvent* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
                const uint8_t* bytes = reinterpret_cast<const uint8_t*>(sysex->sysexDump);
                host->sysexReceived.emplace_back(bytes, bytes + sysex->dumpBytes);
            } else if (event->type == kVstMidiType) {
                const VstMidiEvent* midi = reinterpret_cast<const VstMidiEvent*>(event);
                host->midiReceived.push_back({uint8_t(midi->midiData[0]),
                                              uint8_t(midi->midiData[1]),
                                              uint8_t(midi->midiData[2])});
            }
        }
        return 1;
    }
    default:
        (void)value;
        return 0;
    }
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PLUGIN [gtest options]\n", argv[0]);
        return 2;
    }
    TestHost::pluginPath = argv[1];
    return RUN_ALL_TESTS();
}
