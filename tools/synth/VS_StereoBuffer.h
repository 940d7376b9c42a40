#pragma once
// A stereo signal as two arrays of equal length, samples nominally in [-1, 1].

#include <cstddef>
#include <vector>

struct VS_StereoBuffer
{
    std::vector<float> left;
    std::vector<float> right;

    std::size_t Frames() const { return left.size(); }
    void Resize(std::size_t frames)
    {
        left.assign(frames, 0.0f);
        right.assign(frames, 0.0f);
    }
};
