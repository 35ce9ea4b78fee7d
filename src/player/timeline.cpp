#include "player/timeline.h"

EffectEntry effectTimeline[effectTimelineCapacity];
std::int32_t timelineCount = 0;
std::int32_t timelineIndex = 0;

namespace {

struct Step {
    int body;  // FRAG number of the effect shown under the entry
    float duration;
    float transition;
    int textureSet;
};

// Entries 1 to 28 in order; the last one only marks the end and is never shown.
constexpr Step score[] = {
    {76, 42.0f, 0.0f, 17}, {68, 14.0f, 0.0f, 1}, {81, 4.0f, 0.0f, 1},  {81, 4.0f, 0.0f, 14},
    {81, 6.0f, 0.0f, 2},   {81, 6.0f, 0.0f, 3},  {81, 3.5f, 0.0f, 4},  {75, 10.0f, 0.0f, 0},
    {81, 3.5f, 0.0f, 5},   {78, 6.0f, 0.0f, 0},  {81, 3.5f, 0.0f, 6},  {79, 6.0f, 0.0f, 0},
    {81, 3.5f, 0.0f, 7},   {67, 6.0f, 0.0f, 0},  {81, 3.5f, 0.0f, 8},  {80, 4.0f, 0.0f, 0},
    {81, 3.5f, 0.0f, 9},   {69, 6.0f, 0.0f, 2},  {81, 3.5f, 0.0f, 10}, {83, 8.0f, 0.0f, 2},
    {81, 3.5f, 0.0f, 11},  {74, 8.0f, 0.0f, 2},  {81, 3.5f, 0.0f, 12}, {72, 6.0f, 0.0f, 0},
    {81, 3.5f, 0.0f, 13},  {81, 3.5f, 0.0f, 15}, {82, 15.0f, 0.0f, 16}, {82, 1.0f, 0.0f, 16},
};
static_assert(sizeof(score) / sizeof(score[0]) == 28);

const EffectEntry zeroEntry{};

}  // namespace

void fillEffectTimeline(ShaderQueue& requests) {
    int k = 1;
    for (const Step& step : score) {
        // The loader delivers programs in queue order, and that order alone pairs a program
        // with its entry.
        {
            ShaderRequest request(step.body);
            requests.pushFront(request);
        }
        effectTimeline[k].set(step.duration, step.transition, step.textureSet);
        ++k;
    }
    timelineCount = 29;
}

const EffectEntry& entryInForce(int index) {
    if (index < 0 || index >= effectTimelineCapacity) return zeroEntry;
    return effectTimeline[index];
}

void LumivexApp::fillTimeline() { fillEffectTimeline(*requestQueue); }
