// Renders sixty seconds of a song as the output thread would — the prefill,
// then block after block — and reports it as times real time (seconds of
// sound per second of CPU). RenderBlock allocates nothing; the rings are
// allocated once per render, as StartPlayback does.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "music/mixer.h"
#include "music/playback.h"
#include "tools/xmrender/xmrender.h"

namespace {

constexpr double kSeconds = 60.0;

void RenderSixtySeconds(benchmark::State& state, const std::string& path, music::MixPath mixPath) {
    music::SelectMixPath(mixPath);
    music::Module* song = xmrender::LoadSongFile(path, stderr);
    if (!song) {
        state.SkipWithError("the song does not load");
        return;
    }
    music::SetUpVoiceTable(music::kOutputRate);
    const auto frames = static_cast<std::int64_t>(kSeconds * music::kOutputRate);
    const std::int64_t blocks = (frames + music::mixer.blockFrames - 1) / music::mixer.blockFrames;
    for (auto _ : state) {
        music::StartOfflinePlayback(*song);  // the first 100 blocks
        for (std::int64_t b = music::mixer.blockCount; b < blocks; ++b) music::RenderBlock();
        benchmark::DoNotOptimize(music::mixer.outputRing.get()[0]);
        benchmark::ClobberMemory();
    }
    music::StopOfflinePlayback();
    music::FreeModule(song);
    state.counters["x_realtime"] =
        benchmark::Counter(kSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// StartPlayback's prefill: the rings allocated and the song's first 100
// blocks (two seconds) rendered before the device starts, the only music
// work the intro does on its main thread at start-up.
void StartPlaybackPrefill(benchmark::State& state, const std::string& path) {
    music::Module* song = xmrender::LoadSongFile(path, stderr);
    if (!song) {
        state.SkipWithError("the song does not load");
        return;
    }
    music::SetUpVoiceTable(music::kOutputRate);
    for (auto _ : state) {
        music::StartOfflinePlayback(*song);
        benchmark::DoNotOptimize(music::mixer.outputRing.get()[0]);
        music::StopOfflinePlayback();
    }
    music::FreeModule(song);
}

int Register() {
    for (const char* song : {"/data/music/standin.xm", "/bench/music/bench16.xm", "/bench/music/bench_samples.xm"}) {
        const std::string path = std::string(QUANDRIX_SOURCE_DIR) + song;
        const std::string name = "StartPlaybackPrefill/" + std::filesystem::path(path).filename().string();
        benchmark::RegisterBenchmark(name.c_str(), StartPlaybackPrefill, path)->Unit(benchmark::kMillisecond);
    }
    std::vector<std::string> songs;
    for (const char* song : {"bench16.xm", "bench32.xm", "bench_samples.xm"}) {
        songs.push_back(std::string(QUANDRIX_SOURCE_DIR) + "/bench/music/" + song);
    }
    for (const char* dir : {"/usr/share/games/bomberclone/music", "/usr/share/games/vodovod"}) {
        std::error_code error;
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
            if (entry.path().extension() == ".xm") found.push_back(entry.path().string());
        }
        std::sort(found.begin(), found.end());
        songs.insert(songs.end(), found.begin(), found.end());
    }
    const std::pair<music::MixPath, const char*> paths[] = {
        {music::MixPath::Avx2, "avx2"}, {music::MixPath::Sse2, "sse2"}, {music::MixPath::Portable, "portable"}};
    for (const std::string& path : songs) {
        for (const auto& [mixPath, pathName] : paths) {
            if (!music::MixPathSupported(mixPath)) continue;
            const std::string name =
                "Render60s/" + std::filesystem::path(path).filename().string() + "/" + pathName;
            benchmark::RegisterBenchmark(name.c_str(), RenderSixtySeconds, path, mixPath)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
    return 0;
}

const int registered = Register();

}  // namespace

BENCHMARK_MAIN();
