// A host calls the dispatcher from its user-interface thread while its audio thread processes:
// the instance lock keeps them apart.
#include "tests/plugin/TestHost.h"

#include <atomic>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>

TEST(Concurrency, DispatcherAndAudioThreadsTogether) {
    TestHost host;
    AEffect* effect = host.Create();
    ASSERT_NE(effect, nullptr);
    host.Call(effect, effOpen);
    host.Call(effect, effSetBlockSize, 0, 256);
    host.Call(effect, effMainsChanged, 0, 1);
    std::atomic<bool> stop(false);
    std::atomic<bool> finite(true);
    std::thread audio([&] {
        std::vector<float> left(256), right(256);
        float* outputs[2] = {left.data(), right.data()};
        while (!stop) {
            effect->processReplacing(effect, nullptr, outputs, 256);
            for (float sample : left)
                if (!std::isfinite(sample)) finite = false;
        }
    });
    std::vector<uint8_t> bank = host.GetChunk(effect, 0);
    for (int round = 0; round < 300; ++round) {
        host.Call(effect, effSetProgram, 0, round % 64);
        effect->setParameter(effect, round % 69, static_cast<float>(round % 10) / 10.0f);
        if (round % 50 == 0) host.SetChunk(effect, 0, bank);
        host.GetChunk(effect, 1);
        host.Call(effect, effSetBlockSize, 0, round % 2 ? 256 : 128);
    }
    stop = true;
    audio.join();
    EXPECT_TRUE(finite);
    host.Close(effect);
}
