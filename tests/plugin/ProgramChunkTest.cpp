// Programs and state chunks through the host interface, across separate instances, and hostile
// chunks.
#include "tests/plugin/TestHost.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>

namespace {

struct Programs : OpenPluginTest {

    AEffect* Another() {
        AEffect* other = host.Create();
        host.Call(other, effOpen);
        return other;
    }
    std::vector<std::string> Names(AEffect* e) {
        std::vector<std::string> names;
        for (int i = 0; i < 64; ++i)
            names.push_back(host.ProgramName(e, i));
        return names;
    }
    std::vector<float> Values(AEffect* e) {
        std::vector<float> values;
        for (int i = 0; i < 69; ++i)
            values.push_back(e->getParameter(e, i));
        return values;
    }
};

int32_t Int32At(const std::vector<uint8_t>& bytes, size_t offset) {
    int32_t value;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value; // the chunks are little-endian, as is every machine this runs on
}

} // namespace

TEST_F(Programs, FactoryBankAIsLoadedAtStart) {
    EXPECT_EQ(host.ProgramName(effect, 0), "BRASS DELAY");
    EXPECT_EQ(host.ProgramName(effect, 3), "CHORUSED E.PIANO");
    EXPECT_EQ(host.ProgramName(effect, 63), "EPILOGUE");
    EXPECT_EQ(host.Call(effect, effGetProgram), 0);
    EXPECT_EQ(host.Text(effect, effGetProgramName), "BRASS DELAY");
    EXPECT_EQ(host.ParamDisplay(effect, 15), "12"); // BRASS DELAY's cutoff
    char name[64] = "x";
    EXPECT_EQ(host.Call(effect, effGetProgramNameIndexed, 64, 0, name), 0);
    EXPECT_EQ(host.Call(effect, effGetProgramNameIndexed, -1, 0, name), 0);
}

TEST_F(Programs, SwitchingProgramsKeepsEdits) {
    effect->setParameter(effect, 15, 1.0f);
    host.Call(effect, effSetProgram, 0, 5);
    EXPECT_EQ(host.Call(effect, effGetProgram), 5);
    EXPECT_NE(host.ParamDisplay(effect, 15), "63");
    host.Call(effect, effSetProgram, 0, 0);
    EXPECT_EQ(host.ParamDisplay(effect, 15), "63") << "the edit went into program 0 on leaving";
    host.Call(effect, effSetProgram, 0, 64); // refused
    EXPECT_EQ(host.Call(effect, effGetProgram), 0);
}

TEST_F(Programs, RenamingTheCurrentProgram) {
    char name[] = "MY BRASS";
    host.Call(effect, effSetProgramName, 0, 0, name);
    EXPECT_EQ(host.ProgramName(effect, 0), "MY BRASS");
    host.Call(effect, effSetProgramName, 0, 0, nullptr);
    EXPECT_EQ(host.ProgramName(effect, 0), "MY BRASS");
}

TEST_F(Programs, ProgramChunkHoldsHeaderStateAndName) {
    std::vector<uint8_t> chunk = host.GetChunk(effect, 1);
    ASSERT_GT(chunk.size(), 8u);
    EXPECT_EQ(std::memcmp(chunk.data(), "tffp", 4), 0);
    EXPECT_EQ(Int32At(chunk, 4), 0x10000);
    EXPECT_EQ(std::memcmp(chunk.data() + 8, "QX-4470_1.1.3", 13), 0);
    const std::string name = "BRASS DELAY";
    // Header, record (tag, index, name, 69 values, marker, trailer), then the name again.
    ASSERT_EQ(chunk.size(), 8 + 13 + 4 + 4 + name.size() + 552 + 8 + 4 + name.size());
    EXPECT_EQ(Int32At(chunk, chunk.size() - name.size() - 4), static_cast<int32_t>(name.size()));
    EXPECT_EQ(std::string(chunk.end() - name.size(), chunk.end()), name);
}

TEST_F(Programs, BankChunkMovesEveryProgramToAnotherInstance) {
    host.Call(effect, effSetProgram, 0, 7);
    effect->setParameter(effect, 16, 0.25f);
    char name[] = "EDITED";
    host.Call(effect, effSetProgramName, 0, 0, name);
    std::vector<uint8_t> bank = host.GetChunk(effect, 0);
    ASSERT_GT(bank.size(), 64u * 560);

    AEffect* other = Another();
    EXPECT_EQ(host.SetChunk(other, 0, bank), 1);
    EXPECT_EQ(Names(other), Names(effect));
    host.Call(other, effSetProgram, 0, 7);
    EXPECT_EQ(host.ParamDisplay(other, 16), host.ParamDisplay(effect, 16));
    EXPECT_EQ(host.ProgramName(other, 7), "EDITED");
    host.Close(other);
}

TEST_F(Programs, ProgramChunkMovesTheLiveProgram) {
    effect->setParameter(effect, 15, 0.5f);
    effect->setParameter(effect, 34, 1.0f);
    std::vector<uint8_t> program = host.GetChunk(effect, 1);
    AEffect* other = Another();
    host.Call(other, effSetProgram, 0, 9);
    EXPECT_EQ(host.SetChunk(other, 1, program), 1);
    EXPECT_EQ(Values(other), Values(effect));
    EXPECT_EQ(host.ProgramName(other, 9), "BRASS DELAY") << "the chunk's name goes to the program";
    EXPECT_EQ(host.Call(other, effGetProgram), 9);
    host.Close(other);
}

TEST(ProgramChunkHosts, SomeHostsAlwaysGetProgramChunks) {
    TestHost host;
    host.vendor = "NATIVE Instruments";
    AEffect* effect = host.Create();
    ASSERT_NE(effect, nullptr);
    host.Call(effect, effOpen);
    std::vector<uint8_t> chunk = host.GetChunk(effect, 0);
    EXPECT_LT(chunk.size(), 1000u) << "a program, not a bank";
    EXPECT_EQ(std::memcmp(chunk.data() + 8, "QX-4470_1.1.3", 13), 0);

    // Such a host may hand a bank back where it asked for a program.
    TestHost plainHost;
    AEffect* source = plainHost.Create();
    plainHost.Call(source, effOpen);
    plainHost.Call(source, effSetProgram, 0, 3);
    char name[] = "FROM A BANK";
    plainHost.Call(source, effSetProgramName, 0, 0, name);
    std::vector<uint8_t> bank = plainHost.GetChunk(source, 0);
    plainHost.Close(source);

    TestHost again;
    again.vendor = "juce vst host";
    AEffect* target = again.Create();
    again.Call(target, effOpen);
    EXPECT_EQ(again.SetChunk(target, 0, bank), 1);
    EXPECT_EQ(again.ProgramName(target, 3), "FROM A BANK");
    again.Close(target);
    host.Close(effect);
}

TEST_F(Programs, HostileChunksChangeNoProgram) {
    std::vector<uint8_t> bank = host.GetChunk(effect, 0);
    std::vector<uint8_t> program = host.GetChunk(effect, 1);
    const std::vector<std::string> names = Names(effect);
    const std::vector<float> values = Values(effect);
    host.Call(effect, effSetProgram, 0, 0);

    auto expectUnchanged = [&](const char* what) {
        EXPECT_EQ(Names(effect), names) << what;
        EXPECT_EQ(Values(effect), values) << what;
    };
    // A program chunk cut inside its values.
    EXPECT_EQ(
        host.SetChunk(effect, 1, std::vector<uint8_t>(program.begin(), program.begin() + 300)), 0);
    expectUnchanged("cut program");
    // A name length that points far past the end, or backwards.
    std::vector<uint8_t> lying = program;
    int32_t huge = 0x7FFFFFF0, negative = -100000;
    std::memcpy(lying.data() + 8 + 17, &huge, 4);
    EXPECT_EQ(host.SetChunk(effect, 1, lying), 0);
    expectUnchanged("huge name length");
    std::memcpy(lying.data() + 8 + 17, &negative, 4);
    EXPECT_EQ(host.SetChunk(effect, 1, lying), 0);
    expectUnchanged("negative name length");
    // Empty and tiny chunks.
    EXPECT_EQ(host.SetChunk(effect, 1, {}), 0);
    EXPECT_EQ(host.SetChunk(effect, 0, {0x74, 0x66}), 0);
    expectUnchanged("tiny");
    EXPECT_EQ(host.Call(effect, effSetChunk, 0, 100, nullptr), 0);
    // Random bytes, with and without the framework header.
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        std::vector<uint8_t> noise(1 + random() % 2000);
        for (uint8_t& b : noise)
            b = static_cast<uint8_t>(random());
        host.SetChunk(effect, 1, noise);
        if (round % 2) std::memcpy(noise.data(), bank.data(), std::min<size_t>(8, noise.size()));
        host.SetChunk(effect, 0, noise);
    }
    for (int i = 0; i < 69; ++i) {
        float v = effect->getParameter(effect, i);
        EXPECT_TRUE(v >= 0.0f && v <= 1.0f) << i;
    }
    // A bank cut inside its tenth program keeps the programs after it.
    host.SetChunk(effect, 0, bank);
    std::vector<uint8_t> otherBank = bank;
    AEffect* other = Another();
    host.Call(other, effSetProgram, 0, 20);
    char renamed[] = "SHOULD NOT ARRIVE";
    host.Call(other, effSetProgramName, 0, 0, renamed);
    std::vector<uint8_t> changed = host.GetChunk(other, 0);
    host.Close(other);
    size_t cut = 8 + 9 * 600; // well inside program 10 (each record is about 590 bytes)
    EXPECT_EQ(
        host.SetChunk(effect, 0, std::vector<uint8_t>(changed.begin(), changed.begin() + cut)), 0);
    EXPECT_EQ(host.ProgramName(effect, 20), names[20]);
    EXPECT_EQ(host.ProgramName(effect, 63), names[63]);
}

TEST_F(Programs, BankHeaderBelowTheBankVersionReadsAsAProgram) {
    std::vector<uint8_t> bank = host.GetChunk(effect, 0);
    const std::vector<std::string> names = Names(effect);
    bank[4] = 0xFF;
    bank[5] = 0xFF;
    bank[6] = 0;
    bank[7] = 0; // version 0xFFFF
    host.SetChunk(effect, 0, bank);
    EXPECT_EQ(Names(effect), names) << "not read as a bank";
}
