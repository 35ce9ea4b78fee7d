// The score and the frame's own rules, without a window.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <limits>
#include <vector>

#include "player/frame.h"
#include "player/lumivex_app.h"
#include "player/timeline.h"

namespace {

struct Expected {
    float duration;
    int textureSet;
    int body;
};

// Entries 1 to 28 as the show is scored.
const Expected score[28] = {
    {42.0f, 17, 76}, {14.0f, 1, 68}, {4.0f, 1, 81},  {4.0f, 14, 81},  {6.0f, 2, 81},  {6.0f, 3, 81},
    {3.5f, 4, 81},   {10.0f, 0, 75}, {3.5f, 5, 81},  {6.0f, 0, 78},   {3.5f, 6, 81},  {6.0f, 0, 79},
    {3.5f, 7, 81},   {6.0f, 0, 67},  {3.5f, 8, 81},  {4.0f, 0, 80},   {3.5f, 9, 81},  {6.0f, 2, 69},
    {3.5f, 10, 81},  {8.0f, 2, 83},  {3.5f, 11, 81}, {8.0f, 2, 74},   {3.5f, 12, 81}, {6.0f, 0, 72},
    {3.5f, 13, 81},  {3.5f, 15, 81}, {15.0f, 16, 82}, {1.0f, 16, 82},
};

bool isAllZero(const EffectEntry& e) {
    return e.duration == 0.0f && e.transition == 0.0f && e.textureSet == 0 && e.reserved == 0;
}

}  // namespace

TEST(Timeline, StartsZeroAndFillsTheScoreWithItsRequestsInOrder) {
    for (const EffectEntry& e : effectTimeline) EXPECT_TRUE(isAllZero(e));
    EXPECT_EQ(timelineCount, 0);
    EXPECT_EQ(timelineIndex, 0);

    ShaderQueue requests(100);
    fillEffectTimeline(requests);

    EXPECT_EQ(timelineCount, 29);
    EXPECT_EQ(timelineIndex, 0);
    EXPECT_TRUE(isAllZero(effectTimeline[0]));
    for (int k = 29; k < 40; ++k) EXPECT_TRUE(isAllZero(effectTimeline[k])) << "entry " << k;

    float total = 0.0f;
    for (int k = 1; k <= 28; ++k) {
        const EffectEntry& e = effectTimeline[k];
        EXPECT_EQ(e.duration, score[k - 1].duration) << "entry " << k;
        EXPECT_EQ(e.transition, 0.0f) << "entry " << k;
        EXPECT_EQ(e.textureSet, score[k - 1].textureSet) << "entry " << k;
        EXPECT_EQ(e.reserved, 0) << "entry " << k;
        if (k <= 27) total += e.duration;
    }
    EXPECT_FLOAT_EQ(total, 189.5f);

    ASSERT_EQ(requests.size(), 28u);
    for (int k = 0; k < 28; ++k) {
        ShaderRequest request;
        requests.popBack(request);
        EXPECT_EQ(request.id, score[k].body) << "request " << k;
        EXPECT_TRUE(request.path.empty());
        EXPECT_FALSE(request.program);
    }
}

TEST(Timeline, EachRequestIsQueuedBeforeItsEntryIsWritten) {
    // A queue with room for three: the fourth push waits, and by then only entries 1 to 3
    // may have been written.
    ShaderQueue requests(3);
    for (EffectEntry& e : effectTimeline) e.set(0.0f, 0.0f, 0);
    timelineCount = 0;
    std::thread filler([&] { fillEffectTimeline(requests); });
    while (requests.isNotFull()) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(effectTimeline[2].duration, 14.0f);
    EXPECT_EQ(effectTimeline[4].duration, 0.0f);
    EXPECT_EQ(timelineCount, 0);
    std::vector<int> bodies;
    while (bodies.size() < 28) {
        ShaderRequest request;
        requests.popBack(request);
        bodies.push_back(request.id);
    }
    filler.join();
    EXPECT_EQ(bodies.front(), 76);
    EXPECT_EQ(bodies.back(), 82);
    EXPECT_EQ(timelineCount, 29);
}

TEST(Timeline, EntryOutsideTheTableReadsAsZero) {
    EXPECT_TRUE(isAllZero(entryInForce(-1)));
    EXPECT_TRUE(isAllZero(entryInForce(40)));
    EXPECT_EQ(&entryInForce(7), &effectTimeline[7]);
}

TEST(FrameRules, EndOfTheTimeline) {
    EXPECT_FALSE(isTimelineUsedUp(27, 29));
    EXPECT_TRUE(isTimelineUsedUp(28, 29));
    EXPECT_TRUE(isTimelineUsedUp(0, 0));  // a timeline never filled ends at once
    EXPECT_FALSE(isTimelineUsedUp(0, 29));
}

TEST(FrameRules, SwitchFraction) {
    // Transition length 0: before, at (0/0, not a number) and after the switch time.
    EXPECT_FALSE(isPastSwitch((1.0 - 2.0) / 0.0));
    EXPECT_TRUE(isPastSwitch((2.0 - 2.0) / 0.0));
    EXPECT_TRUE(isPastSwitch((3.0 - 2.0) / 0.0));
    // A positive length: at the switch time the fraction is 0 and the switch waits.
    EXPECT_FALSE(isPastSwitch((2.0 - 2.0) / 0.5));
    EXPECT_TRUE(isPastSwitch((2.1 - 2.0) / 0.5));
    EXPECT_TRUE(isPastSwitch((4.0 - 2.0) / 0.5));  // above 1 is no different
    EXPECT_FALSE(isPastSwitch(-1e-300));
}

TEST(FrameRules, PlaybackAndEffectTimeInSinglePrecision) {
    EXPECT_EQ(playbackSeconds(0), 0.0f);
    EXPECT_EQ(playbackSeconds(1500), 1.5f);
    // Positions beyond 2^24 ms lose their last digits in single precision first.
    const std::uint32_t big = 16777217u;
    EXPECT_EQ(playbackSeconds(big), 16777216.0f / 1000.0f);
    EXPECT_EQ(playbackSeconds(4294967295u), 4294967296.0f / 1000.0f);
    EXPECT_GT(playbackSeconds(2147483648u), 0.0f);
    const float start = 42.125f;
    EXPECT_EQ(effectTime(123456, start), 123456.0f / 1000.0f - start);
    EXPECT_EQ(effectTime(0, 0.0f), 0.0f);
}

TEST(FrameRules, DateInUtc) {
    const framework::Vec4f epoch = dateOf(0);
    EXPECT_EQ(epoch, (framework::Vec4f{1970.0f, 1.0f, 1.0f, 0.0f}));
    // 2023-12-31 23:59:59 UTC.
    EXPECT_EQ(dateOf(1704067199), (framework::Vec4f{2023.0f, 12.0f, 31.0f, 86399.0f}));
    // 2099-12-31 23:59:59 UTC: past 2038 as well.
    EXPECT_EQ(dateOf(4102444799), (framework::Vec4f{2099.0f, 12.0f, 31.0f, 86399.0f}));
    // The next second is midnight of a new year.
    EXPECT_EQ(dateOf(1704067200), (framework::Vec4f{2024.0f, 1.0f, 1.0f, 0.0f}));
    // 2024-02-29 12:34:56 UTC.
    EXPECT_EQ(dateOf(1709210096), (framework::Vec4f{2024.0f, 2.0f, 29.0f, 12 * 3600 + 34 * 60 + 56.0f}));
}

TEST(FrameRules, DateIgnoresTheLocalZone) {
    setenv("TZ", "Pacific/Kiritimati", 1);  // UTC+14
    tzset();
    EXPECT_EQ(dateOf(0), (framework::Vec4f{1970.0f, 1.0f, 1.0f, 0.0f}));
    unsetenv("TZ");
    tzset();
}

TEST(FrameRules, CounterIsUnsigned) {
    musicPosition = 0;
    EXPECT_EQ(formatCounter(), "0");
    musicPosition = 2147483647u;
    EXPECT_EQ(formatCounter(), "2147483647");
    musicPosition = 2147483648u;
    EXPECT_EQ(formatCounter(), "2147483648");
    musicPosition = 4294967295u;
    EXPECT_EQ(formatCounter(), "4294967295");
    musicPosition = 0;
}

TEST(FrameRules, TextureSlots) {
    EXPECT_EQ(textureSlotOf(128), 0);
    EXPECT_EQ(textureSlotOf(143), 1);
    EXPECT_EQ(textureSlotOf(152), 23);
    EXPECT_EQ(textureSlotOf(135), 18);
    EXPECT_EQ(textureSlotOf(148), -1);  // never loaded
    EXPECT_EQ(textureSlotOf(0), -1);
}
