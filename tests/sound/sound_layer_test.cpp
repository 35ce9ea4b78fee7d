// The sound library against the real decoder and SDL's silent output.

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "sound/sound.h"
#include "test_support.h"

using namespace std::chrono_literals;
using sound::Result;
using soundtest::clip;

namespace {

struct Event {
    sound::ChannelCallbackType type;
    std::string name;
    std::uint32_t position;
    bool onCallingThread;
};
std::vector<Event> events;
std::thread::id updateThread;

Result record(sound::Channel* channel, sound::ChannelCallbackType type, void* data1, void*) {
    std::uint32_t position = 0;
    channel->getPosition(&position, sound::TimeUnit::Ms);
    std::string name = type == sound::ChannelCallbackType::SyncPoint
                           ? static_cast<sound::SyncPoint*>(data1)->name
                           : std::string();
    events.push_back({type, name, position, std::this_thread::get_id() == updateThread});
    return Result::Ok;
}

class SoundLayer : public ::testing::Test {
protected:
    void SetUp() override {
        events.clear();
        updateThread = std::this_thread::get_id();
        ASSERT_EQ(sound::System_Create(&system), Result::Ok);
        ASSERT_EQ(system->init(32, sound::initNormal, nullptr), Result::Ok);
    }
    void TearDown() override {
        if (system) system->release();
    }
    sound::System* system = nullptr;
};

TEST(SoundNullHandles, EveryOperationOnANullHandleIsHarmless) {
    sound::Sound* soundOut = reinterpret_cast<sound::Sound*>(0x1);
    sound::Channel* channelOut = reinterpret_cast<sound::Channel*>(0x1);
    sound::SyncPoint* pointOut = reinterpret_cast<sound::SyncPoint*>(0x1);
    std::uint32_t position = 7;
    bool playing = true;
    int count = 3;
    const Result invalid = Result::ErrInvalidHandle;
    EXPECT_EQ(sound::init(nullptr, 32, sound::initNormal, nullptr), invalid);
    EXPECT_EQ(sound::update(nullptr), invalid);
    EXPECT_EQ(sound::createStream(nullptr, "ZOLT.mp3", sound::modeStream, nullptr, &soundOut), invalid);
    EXPECT_EQ(soundOut, nullptr);
    EXPECT_EQ(sound::playSound(nullptr, -1, nullptr, false, &channelOut), invalid);
    EXPECT_EQ(channelOut, nullptr);
    EXPECT_EQ(sound::getChannelsPlaying(nullptr, &count), invalid);
    EXPECT_EQ(sound::addSyncPoint(nullptr, 4000, sound::TimeUnit::Ms, "Sync1", &pointOut), invalid);
    EXPECT_EQ(pointOut, nullptr);
    EXPECT_EQ(sound::getLength(nullptr, &position, sound::TimeUnit::Ms), invalid);
    EXPECT_EQ(sound::setCallback(nullptr, record), invalid);
    EXPECT_EQ(sound::getPosition(nullptr, &position, sound::TimeUnit::Ms), invalid);
    EXPECT_EQ(position, 7u);
    EXPECT_EQ(sound::isPlaying(nullptr, &playing), invalid);
    EXPECT_EQ(sound::setPaused(nullptr, true), invalid);
    EXPECT_EQ(sound::stop(nullptr), invalid);
    EXPECT_EQ(sound::release(static_cast<sound::Sound*>(nullptr)), invalid);
    EXPECT_EQ(sound::release(static_cast<sound::System*>(nullptr)), invalid);
}

TEST_F(SoundLayer, FilesThatAreNotPlayableStreamsGiveNoSound) {
    soundtest::ScratchDir dir;
    const auto& d = dir.path();
    boost::filesystem::create_directory(d / "folder.mp3");
    soundtest::writeFile(d / "empty.mp3", "");
    soundtest::writeFile(d / "text.mp3", std::string(20000, 'x') + "not a stream\n");
    ASSERT_EQ(::mkfifo((d / "fifo.mp3").c_str(), 0600), 0);

    struct Case {
        const char* name;
        Result expected;
    } cases[] = {{"missing.mp3", Result::ErrFileNotFound},
                 {"folder.mp3", Result::ErrFileNotFound},
                 {"fifo.mp3", Result::ErrFileNotFound},  // must not wait for a writer
                 {"empty.mp3", Result::ErrFormat},
                 {"text.mp3", Result::ErrFormat}};
    testing::internal::CaptureStderr();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sound::Sound* stream = reinterpret_cast<sound::Sound*>(0x1);
        EXPECT_EQ(system->createStream((d / c.name).c_str(), sound::modeStream, nullptr, &stream),
                  c.expected);
        EXPECT_EQ(stream, nullptr);
        sound::Channel* channel = reinterpret_cast<sound::Channel*>(0x1);
        EXPECT_EQ(system->playSound(-1, stream, false, &channel), Result::ErrInvalidHandle);
        EXPECT_EQ(channel, nullptr);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// Position against the wall clock, sync points once each in order on the updating thread,
// then the end: no longer playing, and the position runs on in real time from where the sound
// stopped.
TEST_F(SoundLayer, PlaysInRealTimeFiresSyncPointsOnceAndRunsOnAfterTheEnd) {
    sound::Sound* stream = nullptr;
    ASSERT_EQ(system->createStream(clip("clip_11s.mp3").c_str(), sound::modeStream, nullptr, &stream),
              Result::Ok);
    sound::Channel* channel = nullptr;
    ASSERT_EQ(system->playSound(-1, stream, false, &channel), Result::Ok);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_NE(channel, nullptr);
    ASSERT_EQ(channel->setCallback(record), Result::Ok);
    sound::SyncPoint* point = nullptr;
    // Added out of order: they fire by offset. The last lies past the end and never fires,
    // though the position passes it.
    ASSERT_EQ(stream->addSyncPoint(3000, sound::TimeUnit::Ms, "late", &point), Result::Ok);
    EXPECT_EQ(point->name, "late");
    ASSERT_EQ(stream->addSyncPoint(1000, sound::TimeUnit::Ms, "early", nullptr), Result::Ok);
    ASSERT_EQ(stream->addSyncPoint(44100 * 2, sound::TimeUnit::Pcm, "middle", nullptr), Result::Ok);
    ASSERT_EQ(stream->addSyncPoint(11300, sound::TimeUnit::Ms, "past the end", nullptr), Result::Ok);

    std::uint32_t position = 0, previous = 0;
    double worst = 0;
    while (soundtest::secondsSince(start) < 10.0) {
        std::this_thread::sleep_for(10ms);
        const double before = soundtest::secondsSince(start) * 1000.0;
        ASSERT_EQ(system->update(), Result::Ok);
        ASSERT_EQ(channel->getPosition(&position, sound::TimeUnit::Ms), Result::Ok);
        const double after = soundtest::secondsSince(start) * 1000.0;
        ASSERT_GE(position, previous) << "the position went back";
        previous = position;
        // A late wake of a busy machine costs some tens of ms at any time; a clock at the wrong
        // rate shows as a share of the time played.
        if (before > 3000) worst = std::max(worst, soundtest::deviation(position, before, after));
    }
    // Within a few percent of the wall clock over ten seconds.
    std::printf("position %u ms after %.0f ms; worst deviation %.2f %%\n", position,
                soundtest::secondsSince(start) * 1000.0, worst * 100.0);
    EXPECT_LT(worst, 0.03) << "last position " << position << " ms";
    bool playing = false;
    EXPECT_EQ(channel->isPlaying(&playing), Result::Ok);
    EXPECT_TRUE(playing);

    while (playing && soundtest::secondsSince(start) < 14.0) {
        std::this_thread::sleep_for(10ms);
        system->update();
        channel->isPlaying(&playing);
    }
    ASSERT_FALSE(playing) << "the 11 s clip did not end";
    // isPlaying can see the end before an update has: the End callback comes with the next one.
    system->update();
    std::uint32_t atEnd = 0, length = 0;
    channel->getPosition(&atEnd, sound::TimeUnit::Ms);
    const auto ended = std::chrono::steady_clock::now();
    // The end is seen at the first update after it, and the position has run on a little.
    EXPECT_EQ(stream->getLength(&length, sound::TimeUnit::Ms), Result::Ok);
    EXPECT_NEAR(length, 11000.0, 30.0);
    EXPECT_GE(atEnd, length);
    EXPECT_LT(atEnd, length + 300);

    // Past the end: the clock follows the wall from where the sound stopped, past the last
    // sync point's offset, and nothing plays.
    position = soundtest::expectRunsOnInRealTime(
        [&] {
            system->update();
            channel->getPosition(&position, sound::TimeUnit::Ms);
            return position;
        },
        atEnd, ended);
    EXPECT_GT(position, 11300u);
    EXPECT_EQ(channel->isPlaying(&playing), Result::Ok);
    EXPECT_FALSE(playing);
    int count = -1;
    system->getChannelsPlaying(&count);
    EXPECT_EQ(count, 0);

    ASSERT_EQ(events.size(), 4u);
    const char* names[] = {"early", "middle", "late"};
    const std::uint32_t offsets[] = {1000, 2000, 3000};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(events[static_cast<std::size_t>(i)].type, sound::ChannelCallbackType::SyncPoint);
        EXPECT_EQ(events[static_cast<std::size_t>(i)].name, names[i]);
        EXPECT_GE(events[static_cast<std::size_t>(i)].position, offsets[i]);
        EXPECT_LT(events[static_cast<std::size_t>(i)].position, offsets[i] + 100);
        EXPECT_TRUE(events[static_cast<std::size_t>(i)].onCallingThread);
    }
    EXPECT_EQ(events[3].type, sound::ChannelCallbackType::End);
    EXPECT_TRUE(events[3].onCallingThread);
    EXPECT_GE(events[3].position, length);
    EXPECT_LE(events[3].position, atEnd);

    // After the end the stream can start over on a new play.
    ASSERT_EQ(system->playSound(-1, stream, false, &channel), Result::Ok);
    std::this_thread::sleep_for(300ms);
    channel->getPosition(&position, sound::TimeUnit::Ms);
    EXPECT_GT(position, 150u);
    EXPECT_LT(position, 600u);
}

// Damage inside a stream (the kind that stops a decoder with a resync limit, or makes it
// report another format for a frame or two) is skipped and the stream plays to its end.
TEST_F(SoundLayer, DamageInsideAStreamIsSkippedAndPlaybackGoesOn) {
    const std::string whole = soundtest::readFile(clip("clip_11s.mp3"));
    struct Damaged {
        const char* name;
        std::string bytes;
        std::uint32_t atLeast;  // what must still play, less what the damage took
        sound::Channel* channel = nullptr;
        std::uint32_t endedAt = 0;
    } files[] = {
        {"zeros at 1.5 s", soundtest::damage(whole, 1.5, 11.0, std::string(1024, '\0')), 10800},
        {"0xff at 3 s", soundtest::damage(whole, 3.0, 11.0, std::string(1024, '\xff')), 10800},
        {"garbage at 5 s", soundtest::damage(whole, 5.0, 11.0, soundtest::garbage(14)), 10800},
        {"64 KB of garbage at 7 s", soundtest::damage(whole, 7.0, 11.0, soundtest::garbage(7, 65536)), 8000},
    };
    soundtest::ScratchDir dir;
    testing::internal::CaptureStderr();
    int index = 0;
    for (Damaged& file : files) {
        const auto path = dir.path() / ("damaged" + std::to_string(index++) + ".mp3");
        soundtest::writeFile(path, file.bytes);
        sound::Sound* stream = nullptr;
        ASSERT_EQ(system->createStream(path.c_str(), sound::modeStream, nullptr, &stream), Result::Ok);
        ASSERT_EQ(system->playSound(-1, stream, false, &file.channel), Result::Ok);
    }
    const auto start = std::chrono::steady_clock::now();
    int playing = 1;
    while (playing > 0 && soundtest::secondsSince(start) < 14.0) {
        std::this_thread::sleep_for(10ms);
        system->update();
        for (Damaged& file : files) {
            bool p = false;
            file.channel->isPlaying(&p);
            if (!p && file.endedAt == 0) file.channel->getPosition(&file.endedAt, sound::TimeUnit::Ms);
        }
        system->getChannelsPlaying(&playing);
    }
    for (const Damaged& file : files) {
        SCOPED_TRACE(file.name);
        EXPECT_GE(file.endedAt, file.atLeast) << "the stream ended at the damage";
        EXPECT_LE(file.endedAt, 11100u);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(SoundLayer, ReleasingAPlayingStreamStopsItsChannel) {
    sound::Sound* stream = nullptr;
    ASSERT_EQ(system->createStream(clip("clip_2s.mp3").c_str(), sound::modeStream, nullptr, &stream),
              Result::Ok);
    sound::Channel* channel = nullptr;
    ASSERT_EQ(system->playSound(-1, stream, false, &channel), Result::Ok);
    std::this_thread::sleep_for(100ms);
    int count = 0;
    system->getChannelsPlaying(&count);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(stream->release(), Result::Ok);
    system->getChannelsPlaying(&count);
    EXPECT_EQ(count, 0);
    bool playing = true;
    EXPECT_EQ(channel->isPlaying(&playing), Result::ErrInvalidHandle);
    EXPECT_FALSE(playing);
    EXPECT_EQ(system->update(), Result::Ok);

    // A system released while a stream still plays takes it down with it.
    ASSERT_EQ(system->createStream(clip("clip_2s.mp3").c_str(), sound::modeStream, nullptr, &stream),
              Result::Ok);
    ASSERT_EQ(system->playSound(-1, stream, false, &channel), Result::Ok);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(system->release(), Result::Ok);
    system = nullptr;
}

// On the silent output a pause holds the position, and play goes on from there in real time.
TEST_F(SoundLayer, APauseHoldsThePositionAndPlayGoesOnFromIt) {
    sound::Sound* stream = nullptr;
    ASSERT_EQ(system->createStream(clip("clip_11s.mp3").c_str(), sound::modeStream, nullptr, &stream),
              Result::Ok);
    sound::Channel* channel = nullptr;
    ASSERT_EQ(system->playSound(-1, stream, false, &channel), Result::Ok);
    std::this_thread::sleep_for(500ms);
    std::uint32_t held = 0, position = 0;
    ASSERT_EQ(channel->setPaused(true), Result::Ok);
    channel->getPosition(&held, sound::TimeUnit::Ms);
    std::this_thread::sleep_for(300ms);
    channel->getPosition(&position, sound::TimeUnit::Ms);
    EXPECT_EQ(position, held);

    ASSERT_EQ(channel->setPaused(false), Result::Ok);
    const auto resumed = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(500ms);
    const double before = soundtest::secondsSince(resumed) * 1000.0;
    channel->getPosition(&position, sound::TimeUnit::Ms);
    const double after = soundtest::secondsSince(resumed) * 1000.0;
    EXPECT_GE(position, held + before - 30) << "held at " << held;
    EXPECT_LE(position, held + after + 30) << "held at " << held;
}

// Without a usable output the system goes over to the silent one and the clock still runs.
TEST(SoundFallback, NoUsableDriverFallsBackToSilentOutputQuietly) {
    const char* drivers[] = {"no-such-driver", "alsa", "disk-but-not-really"};
    for (const char* driver : drivers) {
        SCOPED_TRACE(driver);
        ::setenv("SDL_AUDIODRIVER", driver, 1);
        testing::internal::CaptureStderr();
        sound::System* system = nullptr;
        sound::System_Create(&system);
        EXPECT_EQ(system->init(32, sound::initNormal, nullptr), Result::Ok);
        sound::Sound* stream = nullptr;
        ASSERT_EQ(system->createStream(clip("clip_2s.mp3").c_str(), sound::modeStream, nullptr, &stream),
                  Result::Ok);
        sound::Channel* channel = nullptr;
        EXPECT_EQ(system->playSound(-1, stream, false, &channel), Result::Ok);
        std::this_thread::sleep_for(400ms);
        std::uint32_t position = 0;
        sound::getPosition(channel, &position, sound::TimeUnit::Ms);
        EXPECT_GT(position, 250u);
        EXPECT_LT(position, 600u);
        system->release();
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    }
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
}

}  // namespace
