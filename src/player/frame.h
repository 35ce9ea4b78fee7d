#pragma once
// The pieces of a frame that stand on their own: the clock, the date, the switch rule, the
// title and the texture bindings of each texture set.

#include <array>
#include <cstdint>
#include <ctime>
#include <string>

#include "framework/geometry.h"
#include "framework/gl/texture.h"
#include "player/texture_bindings.h"

// Playback time in seconds: the position in milliseconds, in single precision, over 1000.
float playbackSeconds(std::uint32_t positionMs);
// iGlobalTime: playback time less the effect's start, in single precision.
float effectTime(std::uint32_t positionMs, float effectStartTime);
// (year, month, day, seconds since midnight) of a clock reading, in UTC.
framework::Vec4f dateOf(std::time_t clock);

// True once the index has passed the second-to-last entry in use.
bool isTimelineUsedUp(int index, int count);
// The transition fraction: a value not above 0 keeps presenting the effect frame buffer;
// anything else (above 0, or not a number) is a switch frame if a program waits.
bool isPastSwitch(double fraction);

// Decimal text of musicPosition, unsigned.
std::string formatCounter();

// Binds the always-bound pictures and then the row of `textureSet` to units 0 to 7; an empty
// slot is skipped and nothing is ever unbound.
void bindTextureSet(const std::array<framework::gl::TextureRef, 24>& textures, int textureSet);
