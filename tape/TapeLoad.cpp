#include "tape/TapeLoad.h"

#include "instrument/QX4470.h"
#include "tape/TapeLayout.h"

#include <exception>

namespace {

const uint8_t* ProgramRecord(const std::vector<uint8_t>& stream, int program) {
    return stream.data() + kTapeHeaderBytes + program * kTapeProgramRecordBytes;
}

bool ChecksumFails(const uint8_t* record) {
    return TapeChecksum(record) != record[kTapeProgramDataBytes];
}

// Sets the live program from one tape record: values straight into the parameters (the
// program is stored right after and the bank's selection restored, which announces
// everything); only "Edit Parameter" is announced here, as its code needs decoding.
void SetProgramFromRecord(QX4470& synth, const uint8_t* record) {
    TapeField fields[kTapeFieldCount];
    UnpackTapeProgram(record, fields);
    for (const TapeField& field : fields) {
        IParameter* param = synth.GetParameter(field.parameter);
        if (field.parameter != kEditParameter) {
            param->SetValueLimited(field.value);
            continue;
        }
        param->SetValueLimited(EditParameterOfCode(field.value));
        synth.OnParameterChanged(kEditParameter);
        synth.NotifyHostOfParameter(kEditParameter, param->GetAsNormalized());
    }
}

} // namespace

std::vector<int> CorruptTapePrograms(const std::vector<uint8_t>& stream) {
    std::vector<int> corrupt;
    if (stream.size() != static_cast<size_t>(kTapeBankBytes)) return corrupt;
    for (int i = 0; i < kTapePrograms; ++i)
        if (ChecksumFails(ProgramRecord(stream, i))) corrupt.push_back(i);
    return corrupt;
}

bool ApplyTapeStream(QX4470& synth, const std::vector<uint8_t>& stream, bool* dw6000Tape) {
    *dw6000Tape = false;
    if (stream.size() == static_cast<size_t>(kTapeDw6000BankBytes)) {
        *dw6000Tape = true;
        synth.tapeStatus = "Sorry, I cannot read DW-6000 tape dumps yet. :-(";
        return false;
    }
    if (stream.size() != static_cast<size_t>(kTapeBankBytes)) return false;

    InstanceLock lock(synth.Mutex());
    std::string status = "DW-8000 tape dump was successfully loaded.\n";
    const int before = synth.GetCurrentPresetIndex();
    for (int i = 0; i < kTapePrograms; ++i) {
        synth.ApplyPreset(i);
        // A tape holds DW-8000 programs, whatever the instrument was set to before.
        synth.InitializeProgram(false);
        synth.GetParameter(kVolume)->SetValueLimited(0.5);
        const uint8_t* record = ProgramRecord(stream, i);
        SetProgramFromRecord(synth, record);
        if (ChecksumFails(record)) {
            std::string line =
                "\nData for \"" + std::string(synth.GetPresetName(i)) + "\" might be corrupted.";
            status += line.substr(0, 64);
        }
        synth.ModifyCurrentPreset();
    }
    synth.ApplyPreset(before);
    synth.NotifyHostOfProgramChange();
    synth.editorDirty = true;
    synth.tapeStatus = status;
    return true;
}

bool LoadTapeDump(QX4470& synth, const std::string& path, bool* dw6000Tape) {
    *dw6000Tape = false;
    if (path.empty()) return false;
    const TapeSettings settings = TapeSettings::FromProcess();
    // Reading and decoding take a while and need no lock: the instance goes on playing until
    // the programs change.
    std::vector<uint8_t> stream;
    try {
        TapeReader reader;
        if (!reader.Open(path) || reader.Decode(settings) == 0) return false;
        stream = reader.Bytes();
    } catch (const std::exception&) {
        return false; // the recording is released again; the host goes on
    }
    if (!ApplyTapeStream(synth, stream, dw6000Tape)) return false;
    synth.config.WriteConfiguration(Configuration::kGroupTapeRead);
    return true;
}
