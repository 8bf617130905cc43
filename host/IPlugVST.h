// The VST 2 binding of a plug-in instance: the effect record given to the host, the dispatcher,
// the audio and parameter callbacks, the calls back into the host, host identification and the
// exchange of state chunks.
#pragma once

#include "host/IPlugBase.h"
#include "host/vst2.h"

// The effVendorSpecific index with which a host seeds everything random in an instance (value:
// the seed), so that renders repeat exactly.
constexpr VstInt32 kSeedRandomnessCode = VstFourCC('q', 'x', 'S', 'd');

class IPlugVST : public IPlugBase {
public:
    IPlugVST(const PlugIdentity& identity, audioMasterCallback hostCallback);
    ~IPlugVST() override;

    AEffect* GetAEffect() { return &effect_; }

    // Calls into the host.
    void BeginParameterEdit(int index) override;
    void NotifyHostOfParameter(int index, double normalized) override;
    void EndParameterEdit(int index) override;
    void NotifyHostOfProgramChange() override;
    bool IsRenderingOffline() override;
    int GetSamplePosition() override;
    double GetTempo() override;
    void GetTimeSignature(int* numerator, int* denominator) override;
    void GetTransportInfo(ITransportInfo* info) override;
    int IdentifyHost() override;
    void ResizeEditor() override;
    void InitForHost() override;
    void AttachEditor(IEditor* editor) override;
    void SetLatency(int samples) override;
    bool SendMidiMessage(const IMidiMessage& message) override;
    bool SendSysExMessage(const ISysExMessage& message) override;

    // Whether the host always exchanges program chunks (hosts that take a program chunk where
    // others expect a bank). Asked once, then remembered.
    bool HostWantsProgramChunks();
    // Bit 0: the host asked "hasCockosExtensions"; bit 1: "hasCockosViewAsConfig".
    uint32_t HostExtensions() const { return hostExtensions_; }

    // effGetChunk and effSetChunk.
    int GetChunk(int index, void** data);
    int SetChunk(int index, const void* data, int size);

    // The dispatcher body, under the instance lock (public for in-process hosts and tests).
    VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

private:
    static VstIntPtr VSTCALLBACK DispatcherProc(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                VstIntPtr value, void* ptr, float opt);
    static void VSTCALLBACK AccumulateProc(AEffect* effect, float** inputs, float** outputs,
                                           VstInt32 frames);
    static void VSTCALLBACK ReplaceProc(AEffect* effect, float** inputs, float** outputs,
                                        VstInt32 frames);
    static void VSTCALLBACK ReplaceDoubleProc(AEffect* effect, double** inputs, double** outputs,
                                              VstInt32 frames);
    static void VSTCALLBACK SetParameterProc(AEffect* effect, VstInt32 index, float value);
    static float VSTCALLBACK GetParameterProc(AEffect* effect, VstInt32 index);

    VstIntPtr HostCall(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);
    const VstTimeInfo* HostTime(VstInt32 filter);
    void ProcessFloat(float** inputs, float** outputs, int frames, bool accumulate);
    void ProcessDouble(double** inputs, double** outputs, int frames);
    void SetParameterFromHost(int index, float value);
    VstIntPtr StringToParameter(int index, const char* text);
    VstIntPtr PinProperties(bool input, int index, VstPinProperties* properties);
    void ArrangeChannels(bool input, const VstSpeakerArrangement* arrangement);
    VstIntPtr CanDo(const char* text);
    void CopyChannelCountsToEffect();

    AEffect effect_;
    audioMasterCallback hostCallback_;
    ERect editRect_;
    VstSpeakerArrangement inputArrangement_;
    VstSpeakerArrangement outputArrangement_;
    ChunkBuffer programChunk_;
    ChunkBuffer bankChunk_;
    uint32_t hostExtensions_ = 0;
    int wantsProgramChunks_ = -1; // not asked yet
    bool initializedForHost_ = false;
};

// The host kind for a product string, as IdentifyHost decides it (0 when nothing matches).
int HostKindOfProduct(const char* product);
