// RenderBlock runs on a time-critical thread: it must not allocate. The
// global allocation functions are replaced in this test program to count
// what happens between the rendering calls. The sanitizers bring allocators
// of their own that cannot be counted this way, so the sanitizer builds do not
// build this program (tests/music/CMakeLists.txt).
#include <cstdlib>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include "music/mixer.h"
#include "music/playback.h"
#include "tools/xmrender/xmrender.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QUANDRIX_OWN_ALLOCATOR 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUANDRIX_OWN_ALLOCATOR 1
#endif

namespace {
long allocations = 0;
}

#if defined(QUANDRIX_OWN_ALLOCATOR)
#error "allocations cannot be counted under a sanitizer; this program is left out of those builds"
#endif

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    ++allocations;
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

TEST(RenderBlock, AllocatesNothing) {
    music::Module* song =
        xmrender::LoadSongFile(std::string(QUANDRIX_SOURCE_DIR) + "/bench/music/bench16.xm", stderr);
    ASSERT_NE(song, nullptr);
    music::SetUpVoiceTable(music::kOutputRate);
    ASSERT_TRUE(music::StartOfflinePlayback(*song));
    const long before = allocations;
    for (int block = 0; block < 1000; ++block) music::RenderBlock();  // 20 s: every row of the song
    EXPECT_EQ(allocations - before, 0);
    EXPECT_GT(before, 0);  // the counter counts
    music::StopOfflinePlayback();
    music::FreeModule(song);
}

}  // namespace
