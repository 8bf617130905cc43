// A minimal VST 2 host for tests: loads the built plug-in file, creates instances through its
// exported entry point, answers the plug-in's calls and records them.
#pragma once

#include "host/vst2.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class TestHost {
public:
    // Set once from the command line: the plug-in file to load.
    static std::string pluginPath;

    TestHost();
    ~TestHost();

    // A new instance through VSTPluginMain (or `main`); null when the plug-in gives none.
    AEffect* Create(const char* entry = "VSTPluginMain");
    void Close(AEffect* effect);

    VstIntPtr Call(AEffect* effect, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                   void* ptr = nullptr, float opt = 0.0f);
    std::string Text(AEffect* effect, VstInt32 opcode, VstInt32 index = 0);
    std::string ParamDisplay(AEffect* effect, int index) {
        return Text(effect, effGetParamDisplay, index);
    }
    std::string ProgramName(AEffect* effect, int index);
    std::vector<uint8_t> GetChunk(AEffect* effect, int index);
    VstIntPtr SetChunk(AEffect* effect, int index, std::vector<uint8_t> bytes);
    VstIntPtr SendEvents(AEffect* effect, const std::vector<VstEvent*>& events);
    // Sends one SysEx message.
    VstIntPtr SendSysEx(AEffect* effect, std::vector<uint8_t> bytes);

    // What the host answers.
    std::string product = "QX test host";
    std::string vendor = "Marten Hollow Lab";
    int vendorVersion = 10000;

    // What the plug-in asked of the host.
    std::vector<int> opcodes;
    std::vector<std::vector<uint8_t>> sysexReceived;
    std::vector<std::array<uint8_t, 3>> midiReceived;
    std::vector<std::pair<int, float>> automation;
    int Count(int opcode) const;

private:
    static VstIntPtr VSTCALLBACK Callback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                          VstIntPtr value, void* ptr, float opt);
    void* library_ = nullptr;
    std::mutex recordLock_; // the plug-in may call from a test's audio thread too
    VstTimeInfo time_;
};

// A test with one opened instance of the plug-in.
class OpenPluginTest : public testing::Test {
protected:
    void SetUp() override {
        effect = host.Create();
        ASSERT_NE(effect, nullptr);
        host.Call(effect, effOpen);
    }
    void TearDown() override { host.Close(effect); }

    TestHost host;
    AEffect* effect = nullptr;
};
