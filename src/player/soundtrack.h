#pragma once
// The soundtrack: the show's clock and its musical events.

#include <boost/filesystem/path.hpp>

// "ZOLT.mp3" in the working directory.
boost::filesystem::path soundtrackPath();
// Stops and frees the current stream.
void stopSoundtrack();
// Once a frame: advances the sound system and reads the played position into musicPosition.
void updateSound();
