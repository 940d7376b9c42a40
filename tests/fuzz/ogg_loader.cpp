// Fuzzes the Ogg loader through LoadFromMemory, which shares every step after the open with
// Load (limits, decode loop, channel spreading, sample-rate conversion).
//   build-fuzz-audio/fuzz_ogg_loader -max_len=65536 CORPUS tests/fuzz/seeds/ogg_loader
// Log lines go to stderr without a log; -close_fd_mask=2 silences them.

#include "QA_Buffer_OGG.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QC_Ptr<QA_Buffer> pcm;
    if (QA_Buffer_OGG::LoadFromMemory(data, size, "fuzz.ogg", pcm)) {
        // A loaded buffer holds whole stereo frames, at least one, and all of it is readable.
        if (!pcm || pcm->Size() == 0 || pcm->Size() % 4 != 0)
            __builtin_trap();
        volatile std::uint8_t edges = pcm->Data()[0] ^ pcm->Data()[pcm->Size() - 1];
        (void)edges;
    }
    return 0;
}
