#pragma once
// White noise from a 32-bit xorshift generator. Each voice seeds its own from the note's place
// in the score, so a render is the same whatever order or thread voices are played in (the
// demo's shared QC_Rand sequence would make every note depend on the ones before it).

#include <cstdint>

class VS_Noise
{
public:
    explicit VS_Noise(std::uint32_t seed = 0x9E3779B9u) : state(seed ? seed : 0x9E3779B9u) {}
    // Uniform in [-1, 1).
    float Next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return float(std::int32_t(state)) * (1.0f / 2147483648.0f);
    }

private:
    std::uint32_t state;
};
