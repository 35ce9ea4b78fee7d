#pragma once
// The show's fixed score: how long each effect stays, its transition and its texture set.

#include <cstdint>

#include "player/lumivex_app.h"

struct EffectEntry {
    // Leaves the fields alone: the timeline lives in zeroed static storage and must stay so
    // until setup writes it.
    EffectEntry() {}

    void set(float duration, float transition, int textureSet) {
        this->duration = duration;
        this->transition = transition;
        this->textureSet = textureSet;
        reserved = 0;
    }

    float duration;        // seconds, counted from the hand-over of the next program
    float transition;      // seconds
    std::int32_t textureSet;
    std::int32_t reserved;  // always 0
};

static_assert(sizeof(EffectEntry) == 16, "four 32-bit fields");

constexpr int effectTimelineCapacity = 40;
extern EffectEntry effectTimeline[effectTimelineCapacity];

// Writes entries 1 to 28, pushing the request of each onto `requests` just before its entry,
// then sets timelineCount to 29.
void fillEffectTimeline(ShaderQueue& requests);

// The entry in force; an index outside the table reads as an all-zero entry.
const EffectEntry& entryInForce(int index);
