// quandrix-xmrender as a user meets it: the built tool run on files, its exit
// codes and messages, and a WAV that holds exactly what RenderBlock produces
// from the start of playback on. Also the real songs Debian installs,
// rendered through the same pieces.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "music/mixer.h"
#include "music/offline_render.h"
#include "music/playback.h"
#include "tests/music/replay_harness.h"
#include "tools/cli/command_line.h"
#include "tools/xmrender/xmrender.h"

namespace {

namespace fs = std::filesystem;
using xmtest::Bytes;

struct ToolRun {
    int exitCode = -1;
    std::string errors;
};

class XmRenderTool : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("xmrender_test_" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // `shell` runs first in the same shell (limits, ignored signals).
    ToolRun Tool(const std::string& arguments, const std::string& shell = "") const {
        const fs::path errors = dir / "stderr.txt";
        const std::string command =
            shell + std::string(QUANDRIX_XMRENDER) + " " + arguments + " 2>" + errors.string();
        const int status = std::system(command.c_str());
        ToolRun run;
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::ifstream in(errors);
        run.errors.assign(std::istreambuf_iterator<char>(in), {});
        return run;
    }
    std::string Write(const std::string& name, const Bytes& bytes) const {
        const fs::path path = dir / name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }
    static Bytes Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    fs::path dir;
};

const xmtest::XmSpec kSong = replaytest::Song(
    {{{replaytest::C4, 1}}, {}, {{replaytest::C4 + 7, 1, 0, 0x00, 0x47}}, {}, {{replaytest::KeyOff}}}, 1, 6, 140);

std::uint32_t U32(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}

// What the device would be fed from the start of playback: the prefilled
// ring, then each block as it is rendered again.
std::vector<std::int16_t> DeviceFeed(const xmtest::XmSpec& layout, std::size_t frames) {
    replaytest::Player player(layout);
    EXPECT_TRUE(music::StartOfflinePlayback(player.Song()));
    std::vector<std::int16_t> feed(music::mixer.outputRing.get(), music::mixer.outputRing.get() + 88400 * 2);
    while (feed.size() < frames * 2) {
        const std::int32_t block = music::mixer.writeIndex;
        music::RenderBlock();
        feed.insert(feed.end(), music::mixer.outputRing.get() + block * 884 * 2,
                    music::mixer.outputRing.get() + (block + 1) * 884 * 2);
    }
    music::StopOfflinePlayback();
    feed.resize(frames * 2);
    return feed;
}

TEST_F(XmRenderTool, WritesExactlyWhatTheDeviceWouldBeFed) {
    const std::string in = Write("song.xm", xmtest::BuildXm(kSong));
    const std::string out = (dir / "song.wav").string();
    const ToolRun run = Tool(in + " " + out + " --seconds 2.5");
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    // Before rendering, one line on what the engine leaves out; --quiet drops it.
    EXPECT_EQ(run.errors, in + ": this engine plays every command of this song as FastTracker 2 does\n");
    EXPECT_EQ(Tool("--quiet " + in + " " + out + " --seconds 2.5").errors, "");
    const Bytes wav = Read(out);
    const std::uint32_t frames = 110250;  // floor(2.5 x 44,100), beyond the 88,400 of the prefill
    ASSERT_EQ(wav.size(), 44 + frames * 4);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(U32(wav, 4), 36 + frames * 4);
    EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(U32(wav, 16), 16u);
    EXPECT_EQ(U32(wav, 20), 1u | (2u << 16));  // PCM, 2 channels
    EXPECT_EQ(U32(wav, 24), 44100u);
    EXPECT_EQ(U32(wav, 28), 176400u);
    EXPECT_EQ(U32(wav, 32), 4u | (16u << 16));  // 4 bytes a frame, 16 bits
    EXPECT_EQ(std::string(wav.begin() + 36, wav.begin() + 40), "data");
    EXPECT_EQ(U32(wav, 40), frames * 4);
    const std::vector<std::int16_t> feed = DeviceFeed(kSong, frames);
    std::vector<std::int16_t> data(frames * 2);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::int16_t>(wav[44 + 2 * i] | (wav[45 + 2 * i] << 8));
    }
    EXPECT_EQ(data, feed);
}

TEST_F(XmRenderTool, SecondsDefaultToSixtyAndZeroGivesAnEmptyWav) {
    const std::string in = Write("song.xm", xmtest::BuildXm(kSong));
    ASSERT_EQ(Tool(in + " " + (dir / "a.wav").string()).exitCode, 0);
    EXPECT_EQ(fs::file_size(dir / "a.wav"), 44u + 60u * 44100u * 4u);
    ASSERT_EQ(Tool("--seconds=0 " + in + " " + (dir / "b.wav").string()).exitCode, 0);
    EXPECT_EQ(fs::file_size(dir / "b.wav"), 44u);
    ASSERT_EQ(Tool(in + " " + (dir / "c.wav").string() + " --seconds 0.00002").exitCode, 0);
    EXPECT_EQ(fs::file_size(dir / "c.wav"), 44u);  // floor(0.882) frames
}

TEST_F(XmRenderTool, BadOptionsPrintTheUsageAndExitWithTwo) {
    const std::string in = Write("song.xm", xmtest::BuildXm(kSong));
    const std::string out = (dir / "x.wav").string();
    for (const std::string& arguments :
         {std::string(""), in, in + " " + out + " extra", in + " " + out + " --seconds", in + " " + out + " --seconds -1",
          in + " " + out + " --seconds abc", in + " " + out + " --seconds nan", in + " " + out + " --seconds inf",
          in + " " + out + " --seconds 1e9", in + " " + out + " --seconds 3x", in + " " + out + " --loud",
          in + " " + out + " --rate", in + " " + out + " --rate 7999", in + " " + out + " --rate=192001",
          in + " " + out + " --rate 48k", in + " " + out + " --rate 192000 --seconds 20000"}) {
        const ToolRun run = Tool(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments;
        EXPECT_NE(run.errors.find("usage: quandrix-xmrender IN.xm OUT.wav [--seconds S]"), std::string::npos)
            << arguments;
    }
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(XmRenderTool, UnreadableOrRefusedSongsGiveTheLoadersReasonAndTwo) {
    xmtest::XmSpec tooWide = kSong;
    tooWide.channels = 33;
    const struct {
        std::string path, reason;
    } cases[] = {
        {(dir / "missing.xm").string(), "cannot open: No such file or directory"},
        {Write("text.xm", Bytes{'h', 'e', 'l', 'l', 'o'}), "not an XM module"},
        {Write("wide.xm", xmtest::BuildXm(tooWide)), "33 channels (1 to 32)"},
        {dir.string(), "cannot open"},
    };
    for (const auto& c : cases) {
        const ToolRun run = Tool(c.path + " " + (dir / "x.wav").string());
        EXPECT_EQ(run.exitCode, 2) << c.path;
        EXPECT_NE(run.errors.find(c.path + ": " + c.reason), std::string::npos) << run.errors;
    }
    EXPECT_FALSE(fs::exists(dir / "x.wav"));
}

TEST_F(XmRenderTool, AnUnwritableOutputExitsWithOne) {
    const std::string in = Write("song.xm", xmtest::BuildXm(kSong));
    const ToolRun run = Tool(in + " " + (dir / "no" / "such" / "dir.wav").string());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.errors.find("No such file or directory"), std::string::npos) << run.errors;
}

// The WAV appears whole or not at all: a write that fails half way (the
// file-size limit here, as a full disk would) leaves nothing under the name
// nor beside it, and a pipe is written straight, not renamed over.
TEST_F(XmRenderTool, AFailedWriteLeavesNoWavAndAPipeIsWrittenInPlace) {
    const std::string in = Write("song.xm", xmtest::BuildXm(kSong));
    const fs::path out = dir / "out.wav";
    const ToolRun cut = Tool(in + " " + out.string() + " --seconds 2 --quiet", "ulimit -f 64; trap '' XFSZ; ");
    EXPECT_EQ(cut.exitCode, 1);
    EXPECT_NE(cut.errors.find("cannot write " + out.string() + ": File too large"), std::string::npos) << cut.errors;
    EXPECT_FALSE(fs::exists(out));

    const fs::path pipe = dir / "pipe", copy = dir / "copy.wav";
    const std::string reader = "mkfifo " + pipe.string() + " && (cat " + pipe.string() + " >" + copy.string() + " &) && ";
    ASSERT_EQ(Tool(in + " " + pipe.string() + " --seconds 1 --quiet", reader).exitCode, 0);
    EXPECT_TRUE(fs::is_fifo(pipe));
    for (int i = 0; i < 200 && (!fs::exists(copy) || fs::file_size(copy) < 44 + 44100 * 4); ++i) usleep(10000);
    EXPECT_EQ(fs::file_size(copy), 44u + 44100u * 4u);

    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"copy.wav", "pipe", "song.xm", "stderr.txt"}));
}

// Standard output named by its link is the file the shell opened for it:
// the WAV lands there, at the shell's position, and /dev is left alone.
TEST_F(XmRenderTool, StandardOutputByNameIsTheRedirectedFile) {
    const std::string in = Write("song.xm", xmtest::BuildXm(kSong));
    const fs::path out = dir / "out.wav";
    constexpr std::uintmax_t kWavBytes = 44 + 4410 * 4;
    ASSERT_EQ(Tool(in + " /dev/stdout --seconds 0.1 --quiet >" + out.string()).exitCode, 0);
    EXPECT_EQ(fs::file_size(out), kWavBytes);
    ASSERT_EQ(Tool(in + " /proc/self/fd/1 --seconds 0.1 --quiet >>" + out.string()).exitCode, 0);
    EXPECT_EQ(fs::file_size(out), 2 * kWavBytes);
    EXPECT_TRUE(fs::is_symlink("/dev/stdout"));
}

TEST(XmRenderOptions, FramesAreTheFloorOfSecondsTimesTheRate) {
    EXPECT_EQ(xmrender::FramesForSeconds(60.0), 2646000u);
    EXPECT_EQ(xmrender::FramesForSeconds(0.1), 4410u);
    EXPECT_EQ(xmrender::FramesForSeconds(1.0 / 44100.0 * 0.999), 0u);
    xmrender::Options options;
    const std::string_view args[] = {"--seconds", "7.25", "in.xm", "out.wav"};
    const cli::Reading reading = cli::Read(xmrender::CommandLine(options), args);
    ASSERT_EQ(reading.outcome, cli::Outcome::Run) << reading.error;
    EXPECT_EQ(options.input, "in.xm");
    EXPECT_EQ(options.output, "out.wav");
    EXPECT_EQ(options.seconds, 7.25);
    EXPECT_EQ(options.rate, 44100);
    EXPECT_EQ(xmrender::FramesForSeconds(1.5, 48000), 72000u);
    const std::string_view rated[] = {"in.xm", "--rate=8000", "out.wav"};
    ASSERT_EQ(cli::Read(xmrender::CommandLine(options), rated).outcome, cli::Outcome::Run);
    EXPECT_EQ(options.rate, 8000);
}

// At twice the rate the song keeps its pitch and its timing: every second
// frame lies within two levels of the 44,100 Hz frame at the same time
// (the steps round differently, nothing more). At 125 BPM, where a tick is a
// whole number of frames at both rates.
TEST(XmRenderOptions, AnotherRateKeepsPitchAndTiming) {
    xmtest::XmSpec song = kSong;
    song.bpm = 125;
    auto render = [&song](std::int32_t rate, std::uint64_t frames) {
        replaytest::Player player(song);
        EXPECT_TRUE(music::StartOfflineRender(player.Song(), rate));
        std::vector<std::int16_t> out(frames * 2);
        music::ReadPlayedFrames(out.data(), frames);
        music::StopOfflineRender();
        return out;
    };
    const std::vector<std::int16_t> base = render(44100, 88200), twice = render(88200, 176400);
    int worst = 0;
    for (std::size_t frame = 0; frame < 88200; ++frame) {
        for (std::size_t c = 0; c < 2; ++c) worst = std::max(worst, std::abs(base[2 * frame + c] - twice[4 * frame + c]));
    }
    EXPECT_LE(worst, 2);  // measured: 1
}

// ---- Real songs ----------------------------------------------------------------

std::vector<fs::path> RealSongs() {
    std::vector<fs::path> songs;
    for (const char* dir : {"/usr/share/games/bomberclone/music", "/usr/share/games/vodovod"}) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(dir, error)) {
            if (entry.path().extension() == ".xm") songs.push_back(entry.path());
        }
    }
    std::sort(songs.begin(), songs.end());
    return songs;
}

// Four seconds of a song as the device would get them.
std::vector<std::int16_t> RenderFile(const std::string& path) {
    music::Module* song = xmrender::LoadSongFile(path, stderr);
    EXPECT_NE(song, nullptr) << path;
    if (!song) return {};
    EXPECT_TRUE(music::StartOfflinePlayback(*song));
    std::vector<std::int16_t> render(music::mixer.outputRing.get(), music::mixer.outputRing.get() + 88400 * 2);
    for (int block = 0; block < 100; ++block) {
        music::RenderBlock();
        const std::int16_t* b = music::mixer.outputRing.get() + block * 884 * 2;
        render.insert(render.end(), b, b + 884 * 2);
    }
    music::StopOfflinePlayback();
    music::FreeModule(song);
    return render;
}

TEST(MixPaths, EveryVectorPathGivesThePortableBlocksToTheBit) {
    std::vector<std::string> songs = {std::string(QUANDRIX_SOURCE_DIR) + "/bench/music/bench16.xm",
                                      std::string(QUANDRIX_SOURCE_DIR) + "/bench/music/bench32.xm",
                                      std::string(QUANDRIX_SOURCE_DIR) + "/data/music/standin.xm"};
    for (const fs::path& path : RealSongs()) songs.push_back(path.string());
    music::SetUpVoiceTable(music::kOutputRate);
    const music::MixPath chosen = music::SelectedMixPath();
    for (const std::string& path : songs) {
        ASSERT_TRUE(music::SelectMixPath(music::MixPath::Portable));
        const std::vector<std::int16_t> portable = RenderFile(path);
        for (const music::MixPath mixPath : {music::MixPath::Sse2, music::MixPath::Avx2}) {
            if (!music::SelectMixPath(mixPath)) continue;
            EXPECT_EQ(RenderFile(path), portable) << path << " on path " << static_cast<int>(mixPath);
        }
    }
    music::SelectMixPath(chosen);
}

TEST(MixPaths, SongsPlayTheSameWithoutTheirUnrolledLoops) {
    music::SetUpVoiceTable(music::kOutputRate);
    std::vector<std::string> songs = {std::string(QUANDRIX_SOURCE_DIR) + "/bench/music/bench32.xm"};
    for (const fs::path& path : RealSongs()) songs.push_back(path.string());
    for (const std::string& path : songs) {
        music::Module* song = xmrender::LoadSongFile(path, stderr);
        ASSERT_NE(song, nullptr) << path;
        std::vector<std::int16_t> renders[2];
        for (std::vector<std::int16_t>& render : renders) {
            ASSERT_TRUE(music::StartOfflinePlayback(*song));
            render.assign(music::mixer.outputRing.get(), music::mixer.outputRing.get() + 88400 * 2);
            music::StopOfflinePlayback();
            // The second time round without the copies.
            for (music::Instrument& instrument : song->instruments) {
                for (int s = 0; s < instrument.sampleCount; ++s) instrument.ownedSamples[s].unrolledLoop.clear();
            }
        }
        EXPECT_EQ(renders[1], renders[0]) << path;
        music::FreeModule(song);
    }
}

TEST(MixPaths, NarrowAndWideStepsBothWaysAgreeWithThePortablePath) {
    // A ping-pong loop walked forward and backward at steps around 2.0, the
    // limit of the windowed loads of the eight-frame path, and far beyond.
    music::Sample sample;
    sample.length = 400;
    sample.loopStart = 40;
    sample.loopLength = 300;
    sample.loopType = music::kLoopPingPong;
    for (std::uint32_t i = 0; i < 408; ++i) {
        sample.data.push_back(static_cast<std::int16_t>((i * 7919u) % 65536u - 32768));
    }
    sample.data[340] = sample.data[339];
    const std::int64_t steps[] = {1,          123456789,      814485521,     4294967296 - 1, 4294967296,
                                  6000000000, 8589934592 - 1, 8589934592,    8589934592 + 1, 40000000000};
    const music::MixPath chosen = music::SelectedMixPath();
    for (const std::int64_t step : steps) {
        for (const std::int32_t direction : {music::kForward, music::kBackward}) {
            std::vector<std::vector<float>> outputs;
            for (const music::MixPath mixPath : {music::MixPath::Portable, music::MixPath::Sse2, music::MixPath::Avx2}) {
                if (!music::SelectMixPath(mixPath)) continue;
                music::SetUpVoiceTable(music::kOutputRate);
                music::Voice& v = music::voiceTable[5];
                v.sample = &sample;
                v.leftTarget = v.lastLeftTarget = 90;
                v.rightTarget = v.lastRightTarget = 17;
                v.currentLeftGain = 90 * 256;
                v.currentRightGain = 17 * 256;
                v.stepInteger = static_cast<std::int32_t>(step >> 32);
                v.stepFraction = static_cast<std::uint32_t>(step);
                v.direction = direction;
                music::SetVoicePosition(v, (200LL << 32) + 0x9E3779B9LL);
                std::vector<float> out(2 * 2000, 0.0f);
                for (int n = 0; n < 2000; n += 97) music::MixVoices(out.data() + 2 * n, std::min(97, 2000 - n));
                out.push_back(static_cast<float>(music::VoicePosition(v)));
                outputs.push_back(std::move(out));
            }
            for (std::size_t k = 1; k < outputs.size(); ++k) {
                EXPECT_EQ(outputs[k], outputs[0]) << "step " << step << " direction " << direction << " path " << k;
            }
        }
    }
    music::SelectMixPath(chosen);
}

TEST(RealSongs, RenderAudiblyAndTheSameEachTime) {
    const std::vector<fs::path> songs = RealSongs();
    if (songs.empty()) GTEST_SKIP() << "bomberclone-data and vodovod are not installed";
    music::SetUpVoiceTable(music::kOutputRate);
    for (const fs::path& path : songs) {
        music::Module* song = xmrender::LoadSongFile(path.string(), stderr);
        ASSERT_NE(song, nullptr) << path;
        std::vector<std::vector<std::int16_t>> renders;
        for (int pass = 0; pass < 2; ++pass) {
            ASSERT_TRUE(music::StartOfflinePlayback(*song));
            std::vector<std::int16_t> render(music::mixer.outputRing.get(),
                                             music::mixer.outputRing.get() + 88400 * 2);
            for (int block = 0; block < 100; ++block) {  // two more seconds, the ring round again
                music::RenderBlock();
                const std::int16_t* b = music::mixer.outputRing.get() + block * 884 * 2;
                render.insert(render.end(), b, b + 884 * 2);
            }
            renders.push_back(std::move(render));
        }
        music::StopOfflinePlayback();
        music::FreeModule(song);
        // A restart plays the same, to the sample: nothing of the first pass
        // (channels, voices, the song's playback state) leaks into the second.
        EXPECT_EQ(renders[0], renders[1]) << path;
        double energy = 0.0;
        for (std::int16_t v : renders[0]) energy += static_cast<double>(v) * v;
        const double rms = std::sqrt(energy / static_cast<double>(renders[0].size()));
        EXPECT_GT(rms, 300.0) << path << ": silent";
        EXPECT_LT(rms, 12000.0) << path << ": far too loud";
    }
}

}  // namespace
