#pragma once
// Writes a stereo buffer as an Ogg Vorbis file (variable bit rate). The stream's serial number
// is fixed, so the same samples always give the same bytes.
//
//   if (!VS_OggEncoder::Write("assets/music.ogg", master, 44100, 0.5f)) ...   // logged

#include "synth/VS_StereoBuffer.h"

#include <string>

namespace VS_OggEncoder
{
// quality is the encoder's VBR quality from -0.1 to 1.0 (0.5 is about 160 kbit/s for stereo).
bool Write(const std::string& path, const VS_StereoBuffer& buffer, long sampleRate, float quality);
} // namespace VS_OggEncoder
