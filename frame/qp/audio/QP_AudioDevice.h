#pragma once
// The platform's audio output: one device playing one static block of PCM.
//
//   QP_AudioDevice device;
//   if (!device.Open()) report(device.ErrorText());   // 44100 Hz, signed 16-bit, stereo
//   device.Play(pcm, bytes);                           // from its first byte, once
//   device.Close();                                    // also done by the destructor
//
// The block is played exactly as given: no mixing, no volume change, no looping; after its
// end the device plays silence. The caller keeps the block alive and unchanged until another
// Play, Stop or Close, except between LockSource and UnlockSource, where the mixer waits.
// Main thread only. Nothing outside frame/qp includes a platform header; this file includes
// none either.

#include <atomic>
#include <cstdint>

class QP_AudioDevice
{
public:
    static constexpr int SampleRate = 44100;
    static constexpr int Channels = 2;
    static constexpr std::uint32_t BytesPerFrame = 4;

    QP_AudioDevice() = default;
    ~QP_AudioDevice();
    QP_AudioDevice(const QP_AudioDevice&) = delete;
    QP_AudioDevice& operator=(const QP_AudioDevice&) = delete;

    // Opens the default output device in the fixed format (the platform converts if the
    // hardware wants another). False, with ErrorText set, when no device can be opened.
    // silent opens the platform's null output instead: the same callbacks run, nothing is
    // heard and no sound card is needed (offline rendering).
    bool Open(bool silent = false);
    void Close();
    bool IsOpen() const { return deviceId != 0; }

    // Starts bytes of PCM (rounded down to whole frames) from the start, replacing whatever
    // was playing. Playing the same block again restarts it. With filled, the block is still
    // being written from its start: the mixer reads only the bytes that filled counts (read
    // with acquire, so what they hold is seen), and plays silence in their place beyond it,
    // the cursor moving on as if they were there. The counter outlives the block's playing.
    void Play(const void* pcm, std::uint32_t bytes, const std::atomic<std::uint32_t>* filled = nullptr);
    // Silence from the next mixer period on; the block is no longer read afterwards.
    void Stop();
    // The play cursor: the byte of the block the mixer reads next (0 without a block; the
    // block's size once it has played to its end). A seek takes effect from the next mixer
    // period; a position past the end is taken as the end (silence).
    std::uint32_t Position() const;
    void Seek(std::uint32_t byteOffset);
    // While paused the mixer plays silence and the cursor stands still. Play keeps the state.
    void SetPaused(bool paused);
    bool IsPaused() const { return paused; }
    // Slow motion: each frame of the block lasts divisor frames of output (1 plays as given, 2
    // at half speed, 4 at a quarter), the frames between two of the block interpolated linearly;
    // the pitch drops with the speed, as a slowed tape's does. The cursor then moves divisor
    // times slower, so a clock run at the same fraction stays with it. 0 is taken as 1.
    void SetSlowdown(std::uint32_t divisor);
    std::uint32_t Slowdown() const { return slowdown; }
    // While held, the mixer reads no PCM, so the playing block may be rewritten.
    void LockSource();
    void UnlockSource();

    const char* ErrorText() const { return errorText; }

    // Called by the platform's mixer thread: fills one period of output.
    void Fill(std::uint8_t* output, std::uint32_t bytes);

private:
    void SetError(const char* context);
    // The bytes of the block the mixer may read now.
    std::uint32_t ReadableBytes() const;
    // Fills output from the block at 1 / slowdown speed; returns the bytes written.
    std::uint32_t FillSlowed(std::uint8_t* output, std::uint32_t bytes, std::uint32_t readable);

    std::uint32_t deviceId = 0;
    bool subsystemStarted = false;
    // The block being played and the next byte to play; written under the mixer lock.
    const std::uint8_t* source = nullptr;
    std::uint32_t sourceSize = 0;
    const std::atomic<std::uint32_t>* sourceFilled = nullptr;
    std::uint32_t position = 0;
    bool paused = false;
    std::uint32_t slowdown = 1;
    // Output frames already made from the frame at position, while slowed.
    std::uint32_t slowPhase = 0;
    char errorText[256] = {};
};
