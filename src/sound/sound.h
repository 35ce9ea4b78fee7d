#pragma once
// A small streaming sound library: one System, streams (Sound) decoded from MP3 files with
// libmpg123 while they play, and their playback (Channel) through an SDL audio device opened at
// the stream's own rate.
//
// Calling through a handle that may be null
// -----------------------------------------
// Every operation exists twice:
//   - as a member function (system->update()), for code that holds a handle it knows is valid;
//   - as a free function in this namespace taking the handle first (sound::update(system)).
// The free functions accept a null handle: they do nothing, leave the outputs alone (except
// the out-handles of create operations, which are set to null) and return
// Result::ErrInvalidHandle. Code that keeps handles which may be null, or which may have been
// left null by a failed create, calls the free functions only; a member call through a null
// pointer is never made.
//
// Playback model
// --------------
// - Decoding runs on SDL's audio thread, a device buffer at a time: only a few kilobytes of
//   the file are in memory at once.
// - A channel's position is the part of the stream the output has played: frames handed to
//   the device, less the buffer the device has yet to play, advanced with the clock between
//   two device callbacks. It never goes back. Once the stream has played to its end the
//   position runs on in real time from there (a clock read from a short or damaged file
//   must not stop), isPlaying turns false and sync points beyond the end never fire; the
//   channel keeps its handle until it is stopped, its sound released or, with every channel
//   taken, it is reused by playSound.
// - Damage inside a stream is skipped, however long, and playback goes on after it.
// - Sync points fire once each, in offset order, when the position has passed them. The
//   channel callback is called from System::update on the caller's thread, never from the
//   audio thread. At the end of a stream the callback gets ChannelCallbackType::End once.
// - When no audio device can be opened, the system switches to SDL's silent "dummy" output so
//   that positions still advance. On that output the channel is paced by a thread of its own
//   against the steady clock (SDL's dummy device sleeps whole milliseconds per buffer and
//   drifts by a percent or two), so the silent clock runs in real time. Nothing is written to
//   the console: ALSA's own error printing is switched off before SDL probes it.
// - Starting SDL's audio and opening a device never hold the caller for more than a few seconds
//   (openPatience): a sound server that never answers leaves the call behind on a thread of its
//   own, and every channel plays on the silent output, which needs nothing of SDL. From then on
//   the system makes no call into SDL's audio until the call left behind has come back (a device
//   it opened late is closed unused); release then leaves SDL's audio as it is. SDL's audio is
//   started and ended by this library alone (SDL_AudioInit, SDL_AudioQuit), so SDL_Quit never
//   pulls it down under a call that is still out.
// - A device that goes away while it plays (SDL reports it stopped: a sound server that was
//   killed) is closed, and the channel goes on on the silent output from the position the sound
//   had reached, in real time. The sound does not come back on that channel; a later playSound
//   tries the device again.
// - A device that stops asking for sound while it plays (a suspended sink, a server that hangs)
//   is kept: after deviceStallLimit of it (openPatience before its first request) the position
//   runs on in real time, and when the device asks again the stream is taken forward to that
//   position, so the sound comes back in step.
// - A device is never closed on the caller's thread: SDL joins its audio thread there, which
//   may be waiting on the server. Closes run on threads of their own; release waits for them at
//   most closePatience and leaves SDL's audio as it is when one has not come back.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <string>
#include <vector>

namespace sound {

enum class Result : int {
    Ok = 0,
    ErrInvalidHandle,   // null handle, or a channel that no longer plays anything
    ErrInvalidParam,    // argument out of range or unsupported
    ErrFileNotFound,    // the file can't be opened, or isn't a regular file
    ErrFormat,          // the file isn't a stream this library can decode
    ErrOutput,          // no audio output could be opened, not even the silent one
    ErrInitialized,     // init called twice
    ErrUninitialized,   // the system has not been initialised
    ErrNoFreeChannel,   // every channel is in use
};

enum class ChannelCallbackType : int {
    End = 0,         // the stream has played to its end
    VirtualVoice = 1,  // never sent by this library; kept so that the numbering is stable
    SyncPoint = 2,   // playback has passed a sync point; data1 is the SyncPoint*
};

enum class TimeUnit : unsigned {
    Ms = 1,      // milliseconds
    Pcm = 2,     // sample frames at the stream's rate
};

// Flags of System::init. The library has one way of working; other bits are accepted and
// ignored.
using InitFlags = unsigned;
constexpr InitFlags initNormal = 0x20;

// Modes of System::createStream: a stream decoded while it plays, played once. Other bits are
// accepted and ignored (there is no looping).
using Mode = unsigned;
constexpr Mode modeStream = 0x40;

// How long starting SDL's audio or opening a device may take before the silent output is
// used instead.
constexpr int openPatienceMs = 3000;
// How long a playing device may go without asking for sound before the position runs on
// without it.
constexpr int deviceStallLimitMs = 1000;
// How long release waits for devices to close.
constexpr int closePatienceMs = 1000;

class System;
class Sound;
class Channel;
struct SyncPoint;

using ChannelCallback = Result (*)(Channel* channel, ChannelCallbackType type, void* data1,
                                   void* data2);

// Creates a system; it does nothing until init.
Result System_Create(System** system);

class System {
public:
    // Opens the audio subsystem with room for maxChannels channels playing at once.
    Result init(int maxChannels, InitFlags flags, void* extraDriverData);
    // Runs the channels' bookkeeping and delivers their callbacks on this thread.
    Result update();
    // Opens name as a stream. On failure *sound is null.
    Result createStream(const char* name, Mode mode, void* extraInfo, Sound** sound);
    // Plays sound from its beginning on channelIndex, or on any free channel with -1.
    // On failure *channel is null.
    Result playSound(int channelIndex, Sound* sound, bool paused, Channel** channel);
    // Number of channels that are playing now.
    Result getChannelsPlaying(int* channels);
    // Stops every channel, frees every sound and the system itself.
    Result release();

    System(const System&) = delete;
    System& operator=(const System&) = delete;

private:
    friend Result System_Create(System**);
    friend class Sound;
    friend class Channel;
    System();
    ~System();

    bool openAudio(bool dummyOnly);
    void closeAudio();
    bool openOutput(Channel* channel);
    void forget(Sound* sound);
    struct Pending;
    bool callWithPatience(int (*call)(void*), void* argument, bool opensDevice, int* result);
    void collectStuckCall();
    void closeDevice(unsigned device, std::shared_ptr<void> keepAlive);
    bool waitForCloses(int patienceMs);

    bool initialised_ = false;
    bool audioOpen_ = false;
    bool onDummy_ = false;
    // A call into SDL's audio that ran out of patience and has not come back yet.
    std::shared_ptr<Pending> stuck_;
    // Device closes under way on threads of their own.
    struct Closes;
    std::shared_ptr<Closes> closes_;
    std::vector<std::unique_ptr<Channel>> channels_;
    std::vector<Sound*> sounds_;
    std::uint64_t playCounter_ = 0;
};

struct SyncPoint {
    std::uint64_t frame;  // offset in frames at the stream's rate
    std::string name;
};

class Sound {
public:
    // Adds a named point at offset; *point, if given, receives it (valid until release).
    Result addSyncPoint(unsigned offset, TimeUnit unit, const char* name, SyncPoint** point);
    // Length in the given unit as far as it is known (exact once the stream has been decoded
    // to its end; before that, the decoder's estimate).
    Result getLength(std::uint32_t* length, TimeUnit unit);
    // Stops the channel that plays it and frees it.
    Result release();

    Sound(const Sound&) = delete;
    Sound& operator=(const Sound&) = delete;

private:
    friend class System;
    friend class Channel;
    Sound(System* system);
    ~Sound();
    bool open(const char* name, Result* why);
    bool rewind();

    System* system_;
    struct Decoder;
    std::unique_ptr<Decoder> decoder_;
    long rate_ = 0;
    int channelCount_ = 0;
    std::vector<std::unique_ptr<SyncPoint>> syncPoints_;
    Channel* playingOn_ = nullptr;
};

class Channel {
public:
    // The callback for this channel's events; null removes it.
    Result setCallback(ChannelCallback callback);
    // What the output has played of the stream, in the given unit.
    Result getPosition(std::uint32_t* position, TimeUnit unit);
    Result isPlaying(bool* playing);
    Result setPaused(bool paused);
    Result stop();

    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

private:
    friend class System;
    friend class Sound;
    Channel(System* system) : system_(system) {}

    struct Feed;
    static void deviceCallback(void* feed, unsigned char* out, int length);
    void fill(unsigned char* out, int length);
    std::size_t decode(unsigned char* out, std::size_t bytes, bool& finished);
    void closeOutput();
    void pauseOutput(bool paused);
    void startSilentOutput(std::uint64_t from);
    void silentOutput();
    void watchDevice();
    void goSilent();
    std::uint64_t playedFrames();
    void finish();
    void service();

    System* system_;
    Sound* sound_ = nullptr;   // null while the channel is free
    unsigned device_ = 0;      // SDL audio device, 0 when closed or silent
    std::shared_ptr<Feed> feed_;  // what the device calls back through
    std::thread silent_;       // the paced silent output, when on the dummy driver
    std::mutex silentMutex_;
    std::condition_variable silentWake_;
    bool silentStop_ = false, silentPaused_ = false;
    std::uint64_t silentFrom_ = 0;  // position at which the silent output (re)starts
    ChannelCallback callback_ = nullptr;
    std::uint64_t startedAt_ = 0;  // play order, for reuse of ended channels
    bool paused_ = false;
    bool ended_ = false;       // end reported; device closed
    std::vector<bool> fired_;  // per sync point of the sound
    std::uint64_t reported_ = 0;
    std::uint64_t endedFrames_ = 0;  // position when the end was reported
    std::int64_t endedAtNs_ = 0;     // steady clock then

    // Shared with the audio thread.
    std::mutex mutex_;
    std::uint64_t handedFrames_ = 0;    // frames given to the device, silence included
    std::uint64_t decodedFrames_ = 0;   // frames of the stream among them
    bool decoderDone_ = false;
    std::int64_t lastFillNs_ = 0;       // steady clock at the last device callback (or the
                                        // device's opening or resumption, if later)
    bool stalled_ = false;              // the device stopped asking; the position runs on
    std::uint64_t stallFrames_ = 0;     // from this position
    std::int64_t stallNs_ = 0;          // at this steady clock
    int frameBytes_ = 0;
    unsigned bufferFrames_ = 0;
};

// Null-safe forms of every operation (see the top of this file).
Result init(System* system, int maxChannels, InitFlags flags, void* extraDriverData);
Result update(System* system);
Result createStream(System* system, const char* name, Mode mode, void* extraInfo, Sound** sound);
Result playSound(System* system, int channelIndex, Sound* sound, bool paused, Channel** channel);
Result getChannelsPlaying(System* system, int* channels);
Result release(System* system);
Result addSyncPoint(Sound* sound, unsigned offset, TimeUnit unit, const char* name,
                    SyncPoint** point);
Result getLength(Sound* sound, std::uint32_t* length, TimeUnit unit);
Result release(Sound* sound);
Result setCallback(Channel* channel, ChannelCallback callback);
Result getPosition(Channel* channel, std::uint32_t* position, TimeUnit unit);
Result isPlaying(Channel* channel, bool* playing);
Result setPaused(Channel* channel, bool paused);
Result stop(Channel* channel);

}  // namespace sound
