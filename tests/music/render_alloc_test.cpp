// RenderBlock runs on a time-critical thread: it must not allocate. The
// global allocation functions are replaced in this test program to count
// what happens between the rendering calls. The sanitizers bring allocators
// of their own that cannot be counted this way, so the sanitizer builds do not
// build this program (tests/music/CMakeLists.txt).
#include <string>

#include <gtest/gtest.h>

#include "music/mixer.h"
#include "music/playback.h"
#include "tools/xmrender/xmrender.h"
#include "tests/support/allocation_counter.h"

namespace {

TEST(RenderBlock, AllocatesNothing) {
    music::Module* song =
        xmrender::LoadSongFile(std::string(QUANDRIX_SOURCE_DIR) + "/bench/music/bench16.xm", stderr);
    ASSERT_NE(song, nullptr);
    music::SetUpVoiceTable(music::kOutputRate);
    ASSERT_TRUE(music::StartOfflinePlayback(*song));
    const long before = testsupport::AllocationCount();
    for (int block = 0; block < 1000; ++block) music::RenderBlock();  // 20 s: every row of the song
    EXPECT_EQ(testsupport::AllocationCount() - before, 0);
    EXPECT_GT(before, 0);  // the counter counts
    music::StopOfflinePlayback();
    music::FreeModule(song);
}

}  // namespace
