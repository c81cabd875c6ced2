#pragma once
// Sound the device played before the player had rendered it. Where the
// device loops the ring (music/output.h counts for it), a block is late when
// the play position reaches it while it still holds what it held one ring
// pass (two seconds) earlier, because the renderer fell that far behind. A
// device fed block by block instead reports here the blocks it had to play
// without one having arrived. Either way the count is in the player's 20 ms
// blocks, with the longest run of late blocks in a row: one stall shows as
// one run, and how long it was.
//
// Threads: one thread counts at a time (the output worker on the desktop,
// the page's own thread in a browser); any thread reads.

#include <cstdint>
#include <string>

namespace music {

struct Underruns {
    std::uint64_t lateBlocks = 0;  // blocks played late since the last reset
    std::uint64_t longestRun = 0;  // the most late blocks played in a row
};

// `blocks` blocks played one after the other, following those counted
// before, all late or all in time. Blocks in time end a run of late ones.
void CountPlayedBlocks(std::uint64_t blocks, bool late);

Underruns CurrentUnderruns();

// Forgets the count (a new playback). Not while another thread counts.
void ResetUnderruns();

// "N blocks (S s) of sound played before they were rendered, the longest
// run S s"; times at 20 ms a block.
std::string DescribeUnderruns(const Underruns& underruns);

}  // namespace music
