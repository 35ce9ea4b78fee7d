// The player's soundtrack steps, with the real decoder and SDL's silent output, on files in a
// scratch working directory.

#include <unistd.h>

#include <thread>

#include <gtest/gtest.h>

#include "player/lumivex_app.h"
#include "player/soundtrack.h"
#include "test_support.h"

using namespace std::chrono_literals;
using soundtest::clip;

namespace {

class Soundtrack : public ::testing::Test {
protected:
    void SetUp() override {
        musicPosition = 0;
        musicEventCount = 0.0f;
        dir.enter();
        testing::internal::CaptureStderr();
    }
    void TearDown() override {
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "the soundtrack must say nothing";
    }

    // setup's sound steps, as the player runs them.
    void start() {
        openSoundSystem();
        ASSERT_NE(soundSystem, nullptr);
        startSoundtrack(soundtrackPath());
    }
    void copyClip(const char* name) {
        boost::filesystem::copy_file(clip(name), dir.path() / "ZOLT.mp3");
    }
    bool playing() {
        bool p = false;
        sound::isPlaying(soundtrackChannel, &p);
        return p;
    }
    int channelsPlaying() {
        int count = -1;
        sound::getChannelsPlaying(soundSystem, &count);
        return count;
    }

    soundtest::ScratchDir dir;
};

TEST(SoundtrackPath, IsTheRelativeFileName) {
    EXPECT_EQ(soundtrackPath(), boost::filesystem::path("ZOLT.mp3"));
    EXPECT_TRUE(soundtrackPath().is_relative());
}

TEST(SoundtrackSync, CountsSyncPointsOnlyAndAlwaysSucceeds) {
    musicEventCount = 0.0f;
    int data = 0;
    EXPECT_EQ(onSoundtrackSync(nullptr, sound::ChannelCallbackType::End, &data, &data), sound::Result::Ok);
    EXPECT_EQ(onSoundtrackSync(nullptr, sound::ChannelCallbackType::VirtualVoice, nullptr, nullptr),
              sound::Result::Ok);
    EXPECT_EQ(onSoundtrackSync(nullptr, static_cast<sound::ChannelCallbackType>(9), nullptr, nullptr),
              sound::Result::Ok);
    EXPECT_EQ(musicEventCount, 0.0f);
    EXPECT_EQ(onSoundtrackSync(nullptr, sound::ChannelCallbackType::SyncPoint, nullptr, nullptr),
              sound::Result::Ok);
    EXPECT_EQ(musicEventCount, 1.0f);
}

// The whole life of a soundtrack that plays to its end: the clock follows the wall, the counter
// steps at 4, 5, 6 and 7 s and stays at 4.0, the clock runs on in real time past the end, and
// shutdown still releases the stream although the channel no longer plays.
TEST_F(Soundtrack, IsTheClockAndCountsTheFourSyncPoints) {
    copyClip("clip_11s.mp3");
    start();
    const auto started = std::chrono::steady_clock::now();
    ASSERT_NE(soundtrackStream, nullptr);
    ASSERT_NE(soundtrackChannel, nullptr);

    std::uint32_t previous = 0;
    double worst = 0;
    bool sawZeroLate = false;
    while (playing() && soundtest::secondsSince(started) < 14.0) {
        std::this_thread::sleep_for(8ms);
        const float before = musicEventCount;
        const double wallBefore = soundtest::secondsSince(started) * 1000.0;
        updateSound();
        const double wallAfter = soundtest::secondsSince(started) * 1000.0;
        ASSERT_GE(musicPosition, previous);
        previous = musicPosition;
        // From 3 s on, where a late wake of a busy machine no longer passes for a wrong rate.
        if (wallBefore > 3000 && wallAfter < 10500)
            worst = std::max(worst, soundtest::deviation(musicPosition, wallBefore, wallAfter));

        // The counter as update left it: every point at or before the position it saw, and a
        // frame of slack for the position read just after.
        int passed = 0, passedEarlier = 0;
        for (std::uint32_t offset : {4000u, 5000u, 6000u, 7000u}) {
            passed += musicPosition >= offset;
            passedEarlier += musicPosition >= offset + 30;
        }
        ASSERT_LE(musicEventCount, static_cast<float>(passed)) << "at " << musicPosition << " ms";
        ASSERT_GE(musicEventCount, static_cast<float>(passedEarlier)) << "at " << musicPosition << " ms";
        ASSERT_LE(musicEventCount - before, 1.0f) << "one sync point per frame at this frame rate";
        if (musicPosition > 3900 && musicPosition < 4000) sawZeroLate = musicEventCount == 0.0f;
    }
    EXPECT_TRUE(sawZeroLate) << "the counter must be 0.0 just before 4 s";
    EXPECT_LT(worst, 0.03) << "the position must follow the wall clock";
    ASSERT_FALSE(playing()) << "the clip must have ended";
    EXPECT_EQ(musicEventCount, 4.0f);
    // Seen at the first frame after the end, from which the clock has run on a little.
    EXPECT_GE(musicPosition, 10970u);
    EXPECT_LT(musicPosition, 11300u);

    // Past the end the clock goes on with the wall, never back; the counter stays.
    soundtest::expectRunsOnInRealTime(
        [] {
            updateSound();
            return musicPosition;
        },
        musicPosition, std::chrono::steady_clock::now());
    EXPECT_FALSE(playing());
    EXPECT_EQ(musicEventCount, 4.0f);
    EXPECT_EQ(channelsPlaying(), 0);

    closeSoundSystem();
    EXPECT_EQ(soundtrackStream, nullptr);
    EXPECT_EQ(soundtrackChannel, nullptr);
    EXPECT_NE(soundSystem, nullptr) << "the system handle keeps its value";
}

TEST_F(Soundtrack, WithoutTheFileNothingPlaysAndTheClockStandsStill) {
    start();
    EXPECT_EQ(soundtrackStream, nullptr);
    EXPECT_EQ(soundtrackChannel, nullptr);
    for (int i = 0; i < 30; ++i) {
        std::this_thread::sleep_for(10ms);
        updateSound();
        ASSERT_EQ(musicPosition, 0u);
    }
    EXPECT_EQ(channelsPlaying(), 0);
    EXPECT_EQ(musicEventCount, 0.0f);
    stopSoundtrack();  // nothing to stop
    closeSoundSystem();
    EXPECT_EQ(soundtrackStream, nullptr);
    EXPECT_EQ(soundtrackChannel, nullptr);
}

// An empty path changes nothing, also while a soundtrack plays: same stream, same channel,
// and the clock goes on.
TEST_F(Soundtrack, AnEmptyPathIsIgnored) {
    copyClip("clip_2s.mp3");
    start();
    sound::Sound* stream = soundtrackStream;
    sound::Channel* channel = soundtrackChannel;
    ASSERT_NE(stream, nullptr);
    std::this_thread::sleep_for(400ms);
    startSoundtrack(boost::filesystem::path());
    EXPECT_EQ(soundtrackStream, stream);
    EXPECT_EQ(soundtrackChannel, channel);
    EXPECT_TRUE(playing());
    updateSound();
    EXPECT_GT(musicPosition, 300u) << "the stream must not start over";
    closeSoundSystem();
}

TEST_F(Soundtrack, AStatusThatCannotBeReadCountsAsNoSoundtrack) {
    // A link to itself: the status query fails with "too many links" and throws.
    boost::filesystem::create_symlink("ZOLT.mp3", dir.path() / "ZOLT.mp3");
    openSoundSystem();
    EXPECT_NO_THROW(startSoundtrack(soundtrackPath()));
    EXPECT_NO_THROW(startSoundtrack(boost::filesystem::path(std::string(300, 'n')) / "ZOLT.mp3"));
    EXPECT_EQ(soundtrackStream, nullptr);
    EXPECT_EQ(soundtrackChannel, nullptr);
    updateSound();
    EXPECT_EQ(musicPosition, 0u);
    closeSoundSystem();
}

// A second start replaces the stream that plays; shutdown while it still plays stops it.
TEST_F(Soundtrack, StartingAgainStopsTheStreamThatPlays) {
    copyClip("clip_2s.mp3");
    start();
    sound::Sound* first = soundtrackStream;
    ASSERT_NE(first, nullptr);
    std::this_thread::sleep_for(300ms);
    startSoundtrack(soundtrackPath());
    ASSERT_NE(soundtrackStream, nullptr);
    EXPECT_EQ(channelsPlaying(), 1);
    updateSound();
    EXPECT_LT(musicPosition, 200u) << "the new stream starts from its beginning";
    closeSoundSystem();
    EXPECT_EQ(soundtrackStream, nullptr);
    EXPECT_EQ(soundtrackChannel, nullptr);
}

enum class Expect { NoStream, PlaysToItsEnd };
struct BadInput {
    const char* name;
    Expect expect;
    void (*make)(const boost::filesystem::path& file);
};

class SoundtrackBadInput : public Soundtrack, public ::testing::WithParamInterface<BadInput> {};

// Each runs the frames the player would for a few seconds: no crash, no hang, no message.
TEST_P(SoundtrackBadInput, LeavesThePlayerRunning) {
    GetParam().make(dir.path() / "ZOLT.mp3");
    start();
    const auto started = std::chrono::steady_clock::now();
    if (GetParam().expect == Expect::NoStream) {
        EXPECT_EQ(soundtrackStream, nullptr);
        EXPECT_EQ(soundtrackChannel, nullptr);
    } else {
        EXPECT_NE(soundtrackStream, nullptr);
        EXPECT_NE(soundtrackChannel, nullptr);
    }
    const double limit = GetParam().expect == Expect::NoStream ? 1.0 : 4.0;
    while (soundtest::secondsSince(started) < limit) {
        std::this_thread::sleep_for(10ms);
        updateSound();
        if (GetParam().expect == Expect::NoStream) {
            ASSERT_EQ(musicPosition, 0u);
        } else if (!playing() && soundtest::secondsSince(started) > 0.3) {
            break;
        }
    }
    EXPECT_FALSE(playing()) << "a short file ends, it does not hang";
    if (GetParam().expect == Expect::PlaysToItsEnd) {
        EXPECT_GT(musicPosition, 500u);
        EXPECT_LT(musicPosition, 2100u);
    }
    EXPECT_EQ(musicEventCount, 0.0f) << "all these end before the first sync point";
    closeSoundSystem();
    EXPECT_EQ(soundtrackStream, nullptr);
    EXPECT_EQ(soundtrackChannel, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Files, SoundtrackBadInput,
    ::testing::Values(
        BadInput{"Missing", Expect::NoStream, [](const boost::filesystem::path&) {}},
        BadInput{"Directory", Expect::NoStream,
                 [](const boost::filesystem::path& f) { boost::filesystem::create_directory(f); }},
        BadInput{"Empty", Expect::NoStream,
                 [](const boost::filesystem::path& f) { soundtest::writeFile(f, ""); }},
        BadInput{"NotAnMp3", Expect::NoStream,
                 [](const boost::filesystem::path& f) {
                     std::string text;
                     for (int i = 0; i < 2000; ++i) text += "This is a text file, not a soundtrack.\n";
                     soundtest::writeFile(f, text);
                 }},
        BadInput{"Truncated", Expect::PlaysToItsEnd,
                 [](const boost::filesystem::path& f) {
                     const std::string whole = soundtest::readFile(clip("clip_2s.mp3"));
                     soundtest::writeFile(f, whole.substr(0, whole.size() * 6 / 10 + 77));
                 }},
        BadInput{"TwoSeconds", Expect::PlaysToItsEnd,
                 [](const boost::filesystem::path& f) {
                     boost::filesystem::copy_file(clip("clip_2s.mp3"), f);
                 }}),
    [](const testing::TestParamInfo<BadInput>& info) { return std::string(info.param.name); });

}  // namespace
