#pragma once
// The soundtrack: the show's clock and its musical events. The sound handles, the position and
// the event counter are the file-level globals declared in lumivex_app.h.
//
// Every sound call here goes through the null-safe free functions of the sound library, so a
// handle left null (no file, a file that can't be played) does no harm.

#include <boost/filesystem/path.hpp>

#include "sound/sound.h"

// "ZOLT.mp3", relative: the file in the working directory.
boost::filesystem::path soundtrackPath();

// The channel callback: every sync point passed raises musicEventCount by 1.0.
sound::Result onSoundtrackSync(sound::Channel* channel, sound::ChannelCallbackType type,
                               void* data1, void* data2);

// Stops and frees the current stream, if there is one.
void stopSoundtrack();

// The body of LumivexApp::playSoundtrack, which needs nothing of the object.
void startSoundtrack(const boost::filesystem::path& path);

// The sound steps of setup before the soundtrack starts: create and initialise the system,
// no stream, no channel.
void openSoundSystem();

// The sound steps of shutdown: the stream, if it is there, then the system.
void closeSoundSystem();

// The first steps of every frame: advance the sound library (sync callbacks arrive here),
// then read the playback position into musicPosition.
void updateSound();
