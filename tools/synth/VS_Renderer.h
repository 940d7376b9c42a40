#pragma once
// Plays a score into a stereo buffer, before mastering. Works through the song in segments of
// a few seconds. Within a segment every instrument is rendered on its own, in blocks: its
// voices start at their onsets and add into the instrument's block, then its volume, ducking
// and balance are applied. Instruments share nothing while they render, so two threads take
// them in turn; the segment is then mixed in instrument order and sent through the delay and
// the reverb on one thread.
//
//   VS_Renderer renderer(score);           // the score must outlive the renderer
//   VS_StereoBuffer mix;
//   renderer.Render(0, score.song.bars, mix);
//   double db = renderer.InstrumentLevel(kick, 0, 16);   // RMS of one instrument over bars
//
// Seeded from the score only, and each instrument's samples depend on nothing but its own
// notes: the same score and bars give the same samples whichever thread rendered what. A render
// of bars [from, to) holds the notes starting there and rings on for the song's tail; the
// buffer's sample 0 is the first sample of bar from.

#include "synth/VS_Score.h"
#include "synth/VS_StereoBuffer.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class VS_Renderer
{
public:
    static constexpr int kBlock = 256;
    static constexpr int kSegmentBlocks = 512; // about 3 s

    explicit VS_Renderer(const VS_Score& score);
    ~VS_Renderer();
    VS_Renderer(const VS_Renderer&) = delete;
    VS_Renderer& operator=(const VS_Renderer&) = delete;

    void Render(int fromBar, int toBar, VS_StereoBuffer& out);

    // RMS in dBFS of an instrument's own output (after volume, before sends) over bars
    // [fromBar, toBar) of the last render; -200 for silence or bars outside it.
    double InstrumentLevel(int instrument, int fromBar, int toBar) const;

private:
    struct Track;
    struct Segment
    {
        std::int64_t first = 0; // sample of the song
        std::int64_t offset = 0; // sample of the render
        int count = 0;
    };

    double SweptValue(int instrument, VS_SweepTarget target, double bar, double base) const;
    void PrepareTracks(int fromBar, int toBar);
    void ComputeDuckCurve(const Segment& segment);
    void RenderTracks(); // both threads call this for the current segment
    void RenderTrack(Track& track, const Segment& segment);
    static void RenderTracksOnWorker(VS_Renderer* renderer);

    const VS_Score& score;
    int renderedFrom = 0;
    double samplesPerBar = 0.0;
    std::vector<std::unique_ptr<Track>> tracks; // one per instrument
    std::vector<std::int64_t> keyOnsets; // side-chain key onsets, ascending
    std::size_t nextKey = 0;
    std::vector<float> duckCurve; // of the current segment
    float duckLevel = 0.0f;
    bool duckRising = false;
    Segment current;
    std::atomic<std::size_t> nextTrack{0};
};
