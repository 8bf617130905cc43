#include "dsp/Noise.h"

std::atomic<int32_t> SharedNoise::seed_{1};
