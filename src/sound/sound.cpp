#include "sound/sound.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <numeric>

#include <SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <mpg123.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sound {

namespace {

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// About 20 ms per device buffer (SDL wants a power of two). The silent output, which nobody
// hears, takes two seconds at a time: every wake-up costs (and finds the decoder's caches cold),
// and the position is interpolated between buffers anyway.
unsigned bufferFramesFor(long rate, bool silent) {
    if (silent) return static_cast<unsigned>(2 * rate);
    return rate > 48000 ? 2048u : 1024u;
}

extern "C" void silentAlsaError(const char*, int, const char*, int, const char*, ...) {}

// SDL's ALSA backend leaves libasound's error printing on, which writes a screenful to stderr
// on a machine without a sound card. SDL loads the same library, so its handler is ours.
void quietAlsa() {
    static std::once_flag once;
    std::call_once(once, [] {
        void* library = ::dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
        if (!library) return;
        using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
        using SetHandler = int (*)(Handler);
        if (auto set = reinterpret_cast<SetHandler>(::dlsym(library, "snd_lib_error_set_handler")))
            set(&silentAlsaError);
    });
}

// Frames at rate in ns nanoseconds (none for a negative span).
std::uint64_t framesIn(std::int64_t ns, long rate) {
    return static_cast<std::uint64_t>(std::max<std::int64_t>(0, ns)) *
           static_cast<std::uint64_t>(rate) / 1000000000ull;
}

std::uint32_t toUnit(std::uint64_t frames, long rate, TimeUnit unit) {
    if (unit == TimeUnit::Pcm) return static_cast<std::uint32_t>(frames);
    return static_cast<std::uint32_t>(frames * 1000 / static_cast<std::uint64_t>(rate));
}

}  // namespace

struct Sound::Decoder {
    mpg123_handle* handle = nullptr;
    int fd = -1;
    bool used = false;                // has been played from, needs a rewind before replay
    std::int64_t estimatedFrames = 0; // from the stream's header, 0 if unknown
    std::int64_t knownFrames = -1;    // exact, once decoded to the end

    ~Decoder() {
        if (handle) {
            mpg123_close(handle);
            mpg123_delete(handle);
        }
        if (fd >= 0) ::close(fd);
    }
};

// ---- System -------------------------------------------------------------------------------

Result System_Create(System** system) {
    if (!system) return Result::ErrInvalidParam;
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    *system = new System();
    return Result::Ok;
}

// Device closes still under way.
struct System::Closes {
    std::mutex mutex;
    std::condition_variable finished;
    int out = 0;
};

// What a device calls back through. A channel cuts itself loose before its device is closed
// (waiting out a fill under way), so a close that finishes late never reaches it.
struct Channel::Feed {
    std::mutex mutex;
    Channel* channel = nullptr;
};

System::System() : closes_(std::make_shared<Closes>()) {}
System::~System() = default;

// A call into SDL's audio that may never come back, and what it returned once it has.
struct System::Pending {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    int result = 0;
    bool opensDevice = false;  // result is a device that nobody uses
};

// Runs call(argument) on a thread of its own and waits for it at most openPatienceMs. On time,
// *result is what it returned. Otherwise the thread is left to it, as stuck_, and the caller
// goes on without it: the silent output needs nothing of SDL.
bool System::callWithPatience(int (*call)(void*), void* argument, bool opensDevice, int* result) {
    auto pending = std::make_shared<Pending>();
    pending->opensDevice = opensDevice;
    std::thread worker([pending, call, argument] {
        const int r = call(argument);
        std::lock_guard<std::mutex> lock(pending->mutex);
        pending->result = r;
        pending->done = true;
        pending->finished.notify_all();
    });
    std::unique_lock<std::mutex> lock(pending->mutex);
    if (pending->finished.wait_for(lock, std::chrono::milliseconds(openPatienceMs),
                                   [&] { return pending->done; })) {
        *result = pending->result;
        lock.unlock();
        worker.join();
        return true;
    }
    // What the call uses is its own (see openDevice), so it may outlive this system.
    worker.detach();
    stuck_ = std::move(pending);
    return false;
}

// Main thread: a call left behind that has come back since. A device it opened late was never
// started and is closed unused; an audio subsystem it started late is quit with the system.
void System::collectStuckCall() {
    if (!stuck_) return;
    int result = 0;
    {
        std::lock_guard<std::mutex> lock(stuck_->mutex);
        if (!stuck_->done) return;
        result = stuck_->result;
    }
    const bool opensDevice = stuck_->opensDevice;
    stuck_.reset();
    if (opensDevice && result != 0) closeDevice(static_cast<unsigned>(result), nullptr);
    if (!opensDevice && result == 1) audioOpen_ = true;
}

// Closes a device on a thread of its own: SDL joins the device's audio thread, which may be
// waiting on a sound server that does not answer. keepAlive is what the device calls back
// through, kept until it can call no more.
void System::closeDevice(unsigned device, std::shared_ptr<void> keepAlive) {
    std::shared_ptr<Closes> closes = closes_;
    {
        std::lock_guard<std::mutex> lock(closes->mutex);
        ++closes->out;
    }
    std::thread([closes, device, keepAlive = std::move(keepAlive)] {
        SDL_CloseAudioDevice(static_cast<SDL_AudioDeviceID>(device));
        std::lock_guard<std::mutex> lock(closes->mutex);
        --closes->out;
        closes->finished.notify_all();
    }).detach();
}

// True once no close is under way; false when one is still out after patienceMs.
bool System::waitForCloses(int patienceMs) {
    std::unique_lock<std::mutex> lock(closes_->mutex);
    return closes_->finished.wait_for(lock, std::chrono::milliseconds(patienceMs),
                                      [this] { return closes_->out == 0; });
}

namespace {

// SDL's audio is started and ended by this library alone (SDL_AudioInit and SDL_AudioQuit, not
// the counted SDL_InitSubSystem), so SDL_Quit leaves it be: a call left behind is never pulled
// down under it, and the process ends with it still waiting.
int initAudio(void*) { return SDL_AudioInit(nullptr) == 0 ? 1 : 0; }

// Owns its copy of the wanted format, so that a call left behind outlives its caller safely.
int openDevice(void* argument) {
    std::unique_ptr<SDL_AudioSpec> want(static_cast<SDL_AudioSpec*>(argument));
    SDL_AudioSpec have{};
    return static_cast<int>(SDL_OpenAudioDevice(nullptr, 0, want.get(), &have, 0));
}

}  // namespace

bool System::openAudio(bool dummyOnly) {
    quietAlsa();
    bool ok;
    if (dummyOnly) {
        ok = SDL_AudioInit("dummy") == 0;
    } else {
        int started = 0;
        ok = callWithPatience(&initAudio, nullptr, false, &started) && started == 1;
    }
    audioOpen_ = ok;
    const char* driver = ok ? SDL_GetCurrentAudioDriver() : nullptr;
    onDummy_ = driver && std::strcmp(driver, "dummy") == 0;
    return ok;
}

void System::closeAudio() {
    // With a call into SDL's audio still out, it is left as it is until the process ends.
    if (audioOpen_ && !stuck_ && waitForCloses(closePatienceMs)) SDL_AudioQuit();
    audioOpen_ = false;
    onDummy_ = false;
}

Result System::init(int maxChannels, InitFlags, void*) {
    if (initialised_) return Result::ErrInitialized;
    if (maxChannels < 1 || maxChannels > 4093) return Result::ErrInvalidParam;
    if (!openAudio(false)) {
        // A start that never came back: the silent output, without SDL's audio.
        if (stuck_) onDummy_ = true;
        else if (!openAudio(true)) return Result::ErrOutput;
    }
    channels_.reserve(static_cast<std::size_t>(maxChannels));
    for (int i = 0; i < maxChannels; ++i) channels_.emplace_back(new Channel(this));
    initialised_ = true;
    return Result::Ok;
}

bool System::openOutput(Channel* channel) {
    const Sound* sound = channel->sound_;
    collectStuckCall();
    // SDL's audio is not used again while a device is still closing; a close that does not
    // finish counts as an open that never comes back.
    if (!onDummy_ && !waitForCloses(openPatienceMs)) onDummy_ = true;
    if (onDummy_) {
        channel->bufferFrames_ = bufferFramesFor(sound->rate_, true);
        channel->startSilentOutput(0);
        return true;
    }
    // A device opened late is never started (SDL opens it paused), so its callback is never
    // called.
    auto feed = std::make_shared<Channel::Feed>();
    feed->channel = channel;
    auto* want = new SDL_AudioSpec{};
    want->freq = static_cast<int>(sound->rate_);
    want->format = AUDIO_S16SYS;
    want->channels = static_cast<Uint8>(sound->channelCount_);
    want->samples = static_cast<Uint16>(bufferFramesFor(sound->rate_, false));
    want->callback = &Channel::deviceCallback;
    want->userdata = feed.get();
    const unsigned samples = want->samples;
    int opened = 0;
    SDL_AudioDeviceID device = 0;
    if (!audioOpen_)
        delete want;
    else if (callWithPatience(&openDevice, want, true, &opened))
        device = static_cast<SDL_AudioDeviceID>(opened);
    if (device == 0 && stuck_) {
        // An open that never came back: this channel, and every one after it, plays silently.
        onDummy_ = true;
        return openOutput(channel);
    }
    if (device == 0) {
        // No usable device: go over to the silent output, unless another channel still plays
        // on the real one.
        bool othersOpen = std::any_of(channels_.begin(), channels_.end(),
                                      [](const auto& c) { return c->device_ != 0; });
        if (othersOpen) return false;
        closeAudio();
        if (!openAudio(true) || !onDummy_) return false;
        return openOutput(channel);
    }
    channel->bufferFrames_ = samples;
    channel->device_ = device;
    channel->feed_ = std::move(feed);
    {
        std::lock_guard<std::mutex> lock(channel->mutex_);
        channel->lastFillNs_ = nowNs();  // the device has openPatienceMs to start asking
    }
    if (!channel->paused_) SDL_PauseAudioDevice(device, 0);
    return true;
}

Result System::update() {
    if (!initialised_) return Result::ErrUninitialized;
    collectStuckCall();
    for (std::size_t i = 0; i < channels_.size(); ++i) channels_[i]->service();
    return Result::Ok;
}

Result System::createStream(const char* name, Mode, void*, Sound** sound) {
    if (!sound) return Result::ErrInvalidParam;
    *sound = nullptr;
    if (!initialised_) return Result::ErrUninitialized;
    if (!name) return Result::ErrInvalidParam;
    auto* created = new Sound(this);
    Result why = Result::Ok;
    if (!created->open(name, &why)) {
        delete created;
        return why;
    }
    sounds_.push_back(created);
    *sound = created;
    return Result::Ok;
}

Result System::playSound(int channelIndex, Sound* sound, bool paused, Channel** channel) {
    if (channel) *channel = nullptr;
    if (!initialised_) return Result::ErrUninitialized;
    if (!sound) return Result::ErrInvalidHandle;
    if (sound->system_ != this) return Result::ErrInvalidParam;
    if (channelIndex < -1 || channelIndex >= static_cast<int>(channels_.size()))
        return Result::ErrInvalidParam;

    // A stream plays on one channel at a time: playing it again starts it over.
    if (sound->playingOn_) sound->playingOn_->stop();
    if (sound->decoder_->used && !sound->rewind()) return Result::ErrFormat;

    Channel* target = nullptr;
    if (channelIndex >= 0) {
        target = channels_[static_cast<std::size_t>(channelIndex)].get();
    } else {
        for (auto& c : channels_)
            if (!c->sound_) {
                target = c.get();
                break;
            }
        if (!target) {
            // Reuse the channel whose stream ended first.
            for (auto& c : channels_)
                if (c->ended_ && (!target || c->startedAt_ < target->startedAt_)) target = c.get();
        }
        if (!target) return Result::ErrNoFreeChannel;
    }
    if (target->sound_) target->stop();

    target->sound_ = sound;
    target->callback_ = nullptr;
    target->paused_ = paused;
    target->ended_ = false;
    target->fired_.clear();
    target->reported_ = 0;
    target->endedFrames_ = 0;
    target->endedAtNs_ = 0;
    target->handedFrames_ = 0;
    target->decodedFrames_ = 0;
    target->decoderDone_ = false;
    target->lastFillNs_ = 0;
    target->stalled_ = false;
    target->frameBytes_ = 2 * sound->channelCount_;
    sound->playingOn_ = target;
    sound->decoder_->used = true;

    if (!openOutput(target)) {
        target->sound_ = nullptr;
        sound->playingOn_ = nullptr;
        return Result::ErrOutput;
    }
    target->startedAt_ = ++playCounter_;
    if (channel) *channel = target;
    return Result::Ok;
}

Result System::getChannelsPlaying(int* playing) {
    if (!playing) return Result::ErrInvalidParam;
    int count = 0;
    for (auto& c : channels_) {
        bool p = false;
        if (c->sound_ && c->isPlaying(&p) == Result::Ok && p) ++count;
    }
    *playing = count;
    return Result::Ok;
}

void System::forget(Sound* sound) {
    sounds_.erase(std::remove(sounds_.begin(), sounds_.end(), sound), sounds_.end());
}

Result System::release() {
    while (!sounds_.empty()) sounds_.back()->release();
    for (auto& c : channels_)
        if (c->sound_) c->stop();
    channels_.clear();
    closeAudio();
    delete this;
    return Result::Ok;
}

// ---- Sound --------------------------------------------------------------------------------

Sound::Sound(System* system) : system_(system), decoder_(new Decoder) {}
Sound::~Sound() = default;

bool Sound::open(const char* name, Result* why) {
    // Non-blocking open so that a FIFO or device under that name can't hold us up.
    int fd = ::open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *why = Result::ErrFileNotFound;
        return false;
    }
    decoder_->fd = fd;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        *why = Result::ErrFileNotFound;
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);

    int error = MPG123_OK;
    mpg123_handle* h = mpg123_new(nullptr, &error);
    if (!h) {
        *why = Result::ErrFormat;
        return false;
    }
    decoder_->handle = h;
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    // Damage inside a file (a block of garbage, zeros) is skipped however long it is, as media
    // players do; the default limit ends the stream at the first damage over a kilobyte or so.
    mpg123_param(h, MPG123_RESYNC_LIMIT, -1, 0.0);
    // 16-bit samples at the stream's own rate; the output device is opened to match.
    mpg123_format_none(h);
    const long* rates = nullptr;
    std::size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (std::size_t i = 0; i < rateCount; ++i)
        mpg123_format(h, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);

    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_open_fd(h, fd) != MPG123_OK ||
        mpg123_getformat(h, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 ||
        channels < 1 || channels > 2) {
        *why = Result::ErrFormat;
        return false;
    }
    rate_ = rate;
    channelCount_ = channels;
    // The device plays this one format for the whole stream: a stray header in damaged data
    // that claims another rate or channel count is converted to it, not handed on.
    mpg123_format_none(h);
    mpg123_format(h, rate, channels, MPG123_ENC_SIGNED_16);
    off_t length = mpg123_length(h);
    decoder_->estimatedFrames = length > 0 ? static_cast<std::int64_t>(length) : 0;
    return true;
}

bool Sound::rewind() {
    decoder_->knownFrames = -1;
    return mpg123_seek(decoder_->handle, 0, SEEK_SET) >= 0;
}

Result Sound::addSyncPoint(unsigned offset, TimeUnit unit, const char* name, SyncPoint** point) {
    if (point) *point = nullptr;
    std::uint64_t frame;
    if (unit == TimeUnit::Ms)
        frame = static_cast<std::uint64_t>(offset) * static_cast<std::uint64_t>(rate_) / 1000;
    else if (unit == TimeUnit::Pcm)
        frame = offset;
    else
        return Result::ErrInvalidParam;
    syncPoints_.emplace_back(new SyncPoint{frame, name ? name : ""});
    if (point) *point = syncPoints_.back().get();
    return Result::Ok;
}

Result Sound::getLength(std::uint32_t* length, TimeUnit unit) {
    if (!length) return Result::ErrInvalidParam;
    if (unit != TimeUnit::Ms && unit != TimeUnit::Pcm) return Result::ErrInvalidParam;
    std::int64_t frames =
        decoder_->knownFrames >= 0 ? decoder_->knownFrames : decoder_->estimatedFrames;
    *length = toUnit(static_cast<std::uint64_t>(frames), rate_, unit);
    return Result::Ok;
}

Result Sound::release() {
    if (playingOn_) playingOn_->stop();
    system_->forget(this);
    delete this;
    return Result::Ok;
}

// ---- Channel ------------------------------------------------------------------------------

void Channel::deviceCallback(void* feed, unsigned char* out, int length) {
    auto* f = static_cast<Feed*>(feed);
    std::lock_guard<std::mutex> lock(f->mutex);
    if (f->channel)
        f->channel->fill(out, length);
    else
        std::memset(out, 0, static_cast<std::size_t>(length));
}

// Decodes up to bytes into out. finished turns true at the end of the stream, or at a fault the
// decoder can't get past. Returns the bytes decoded.
std::size_t Channel::decode(unsigned char* out, std::size_t bytes, bool& finished) {
    mpg123_handle* handle = sound_->decoder_->handle;
    std::size_t done = 0;
    int idle = 0;
    while (!finished && done < bytes) {
        std::size_t got = 0;
        int r = mpg123_read(handle, out + done, bytes - done, &got);
        done += got;
        if (r == MPG123_OK || r == MPG123_NEW_FORMAT) {
            // A format report (frequent around damage) changes nothing: the output format is
            // fixed at open. Only a decoder that stops making progress ends the stream here.
            idle = got > 0 ? 0 : idle + 1;
            if (idle > 64) finished = true;
            continue;
        }
        finished = true;  // end of stream, or a fault the decoder can't get past
    }
    return done;
}

// Audio thread (or the silent output's): decode straight into the device's buffer, silence after
// the end. Back from a stall, the stream is first taken forward to where the position has run,
// so that the sound comes back in step.
void Channel::fill(unsigned char* out, int length) {
    const std::int64_t startNs = nowNs();
    const auto frameBytes = static_cast<std::size_t>(frameBytes_);
    const auto total = static_cast<std::size_t>(length);
    std::uint64_t skip = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stalled_) {
            const std::uint64_t position = stallFrames_ + framesIn(startNs - stallNs_, sound_->rate_);
            skip = position > handedFrames_ ? position - handedFrames_ : 0;
        }
    }
    bool finished = decoderDone_;
    std::uint64_t skipped = 0;  // frames of the stream passed over
    while (skipped < skip && !finished && total >= frameBytes) {
        const std::size_t bytes = std::min<std::uint64_t>(skip - skipped, total / frameBytes) * frameBytes;
        skipped += decode(out, bytes, finished) / frameBytes;
    }
    // Past the end, what is left to pass over is silence.
    const std::uint64_t skippedHanded = finished ? skip : skipped;

    std::size_t done = decode(out, total, finished);
    done -= done % frameBytes;
    std::memset(out + done, 0, total - done);

    std::lock_guard<std::mutex> lock(mutex_);
    handedFrames_ += skippedHanded + total / frameBytes;
    decodedFrames_ += skipped + done / frameBytes;
    decoderDone_ = finished;
    lastFillNs_ = startNs;
    if (skippedHanded == skip) stalled_ = false;
}

// Once this returns, the decoder is the caller's again: the device is cut loose (its close is
// left to a thread of its own) and the silent output has ended.
void Channel::closeOutput() {
    if (device_) {
        {
            std::lock_guard<std::mutex> lock(feed_->mutex);
            feed_->channel = nullptr;
        }
        system_->closeDevice(device_, std::move(feed_));
        device_ = 0;
    }
    if (silent_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(silentMutex_);
            silentStop_ = true;
        }
        silentWake_.notify_all();
        silent_.join();
    }
}

void Channel::pauseOutput(bool paused) {
    if (device_) SDL_PauseAudioDevice(device_, paused ? 1 : 0);
    {
        std::lock_guard<std::mutex> lock(silentMutex_);
        silentPaused_ = paused;
        silentFrom_ = reported_;  // held there while paused
    }
    silentWake_.notify_all();
}

// Main thread: the silent output takes over with the position at `from`.
void Channel::startSilentOutput(std::uint64_t from) {
    silentStop_ = false;
    silentPaused_ = paused_;
    silentFrom_ = from;
    silent_ = std::thread(&Channel::silentOutput, this);
}

// The silent output: a buffer per period, against absolute deadlines so that it never drifts.
// Each run (at the start, and after a pause) begins with what carries the position from
// silentFrom_ to a period ahead, so that it goes on from there in real time.
void Channel::silentOutput() {
    const std::size_t frameBytes = static_cast<std::size_t>(frameBytes_);
    std::vector<unsigned char> buffer(static_cast<std::size_t>(bufferFrames_) * frameBytes);
    const auto rate = static_cast<std::uint64_t>(sound_->rate_);
    std::unique_lock<std::mutex> lock(silentMutex_);
    while (!silentStop_) {
        silentWake_.wait(lock, [this] { return silentStop_ || !silentPaused_; });
        const auto start = std::chrono::steady_clock::now();
        const std::uint64_t wanted = silentFrom_ + bufferFrames_;
        for (std::uint64_t k = 1; !silentStop_ && !silentPaused_; ++k) {
            lock.unlock();
            std::size_t bytes = buffer.size();
            if (k == 1) {
                std::lock_guard<std::mutex> shared(mutex_);
                bytes = wanted > handedFrames_
                            ? std::min<std::size_t>(bytes, (wanted - handedFrames_) * frameBytes)
                            : 0;
            }
            fill(buffer.data(), static_cast<int>(bytes));
            lock.lock();
            const auto deadline = start + std::chrono::nanoseconds(k * bufferFrames_ * 1000000000ull / rate);
            silentWake_.wait_until(lock, deadline, [this] { return silentStop_ || silentPaused_; });
        }
    }
}

std::uint64_t Channel::playedFrames() {
    if (ended_) {
        // Past the end the position runs on with the clock from where the sound stopped, so
        // that a clock read from it never stands still. Microseconds keep the product small.
        const std::int64_t elapsedUs = std::max<std::int64_t>(0, nowNs() - endedAtNs_) / 1000;
        const std::uint64_t played =
            endedFrames_ + static_cast<std::uint64_t>(elapsedUs) *
                               static_cast<std::uint64_t>(sound_->rate_) / 1000000ull;
        reported_ = std::max(reported_, played);
        return reported_;
    }
    std::uint64_t played = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stalled_) {
            // Nothing plays the stream: the position runs on with the clock.
            played = paused_ ? reported_ : stallFrames_ + framesIn(nowNs() - stallNs_, sound_->rate_);
        } else if (handedFrames_ > 0) {
            // The buffer handed last is still to play; the one before has played for as long
            // as the clock says since then.
            std::uint64_t base = handedFrames_ > bufferFrames_ ? handedFrames_ - bufferFrames_ : 0;
            played = base + (paused_ ? 0 : framesIn(nowNs() - lastFillNs_, sound_->rate_));
            // The silence handed after the end plays in real time too.
            played = std::min(played, handedFrames_);
        }
    }
    reported_ = std::max(reported_, played);
    return reported_;
}

// Main thread, every update: a device that SDL reports stopped has gone away (a sound server
// that was killed), and the silent output takes over. One that stops asking for sound while it
// plays is kept, and the position runs on without it until it asks again (see fill). When it is
// this process that did not run (stopped, or starved), the position runs on from where it was
// held, which changes nothing the device will not put right at its next request.
void Channel::watchDevice() {
    if (!device_) return;
    if (SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED) {
        goSilent();
        return;
    }
    const std::int64_t now = nowNs();
    std::lock_guard<std::mutex> lock(mutex_);
    // A device that has yet to ask at all is given as long as an open, so that the sound starts
    // from the beginning.
    const std::int64_t limitMs = handedFrames_ == 0 ? openPatienceMs : deviceStallLimitMs;
    if (!paused_ && !stalled_ && now - lastFillNs_ > limitMs * 1000000) {
        stalled_ = true;
        stallFrames_ = reported_;
        stallNs_ = now;
    }
}

// Main thread: the device is closed and the silent output goes on from where the sound stopped.
void Channel::goSilent() {
    const std::uint64_t from = playedFrames();
    closeOutput();
    bufferFrames_ = bufferFramesFor(sound_->rate_, true);
    startSilentOutput(from);
}

// Main thread: the stream has played to its end.
void Channel::finish() {
    endedAtNs_ = nowNs();
    endedFrames_ = playedFrames();
    closeOutput();
    sound_->decoder_->knownFrames = static_cast<std::int64_t>(decodedFrames_);
    ended_ = true;
}

// Main thread, from System::update: sync points passed, then the end.
void Channel::service() {
    if (!sound_ || ended_) return;
    watchDevice();
    Sound* sound = sound_;
    std::uint64_t played = playedFrames();
    bool done;
    std::uint64_t streamEnd = UINT64_MAX;  // points past the end of the stream never fire
    {
        std::lock_guard<std::mutex> lock(mutex_);
        done = decoderDone_ && played >= decodedFrames_;
        if (decoderDone_) streamEnd = decodedFrames_;
    }

    auto& points = sound->syncPoints_;
    if (fired_.size() < points.size()) fired_.resize(points.size(), false);
    std::vector<std::size_t> order(points.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return points[a]->frame < points[b]->frame; });
    for (std::size_t i : order) {
        if (fired_[i] || points[i]->frame > played || points[i]->frame > streamEnd) continue;
        fired_[i] = true;
        if (callback_) callback_(this, ChannelCallbackType::SyncPoint, points[i].get(), nullptr);
        if (sound_ != sound || ended_) return;  // the callback stopped or replaced us
    }

    if (done) {
        finish();
        if (callback_) callback_(this, ChannelCallbackType::End, nullptr, nullptr);
    }
}

Result Channel::setCallback(ChannelCallback callback) {
    if (!sound_) return Result::ErrInvalidHandle;
    callback_ = callback;
    return Result::Ok;
}

Result Channel::getPosition(std::uint32_t* position, TimeUnit unit) {
    if (!sound_) return Result::ErrInvalidHandle;
    if (!position || (unit != TimeUnit::Ms && unit != TimeUnit::Pcm)) return Result::ErrInvalidParam;
    *position = toUnit(playedFrames(), sound_->rate_, unit);
    return Result::Ok;
}

Result Channel::isPlaying(bool* playing) {
    if (!playing) return Result::ErrInvalidParam;
    *playing = false;
    if (!sound_) return Result::ErrInvalidHandle;
    if (ended_) return Result::Ok;
    std::uint64_t played = playedFrames();
    std::lock_guard<std::mutex> lock(mutex_);
    *playing = !(decoderDone_ && played >= decodedFrames_);
    return Result::Ok;
}

Result Channel::setPaused(bool paused) {
    if (!sound_) return Result::ErrInvalidHandle;
    if (ended_ || paused == paused_) return Result::Ok;
    if (paused) {
        playedFrames();  // hold the position where it is
        pauseOutput(true);
        std::lock_guard<std::mutex> lock(mutex_);
        paused_ = true;
    } else {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            paused_ = false;
            lastFillNs_ = nowNs();
            if (stalled_) {  // runs on from where the pause held it
                stallFrames_ = reported_;
                stallNs_ = lastFillNs_;
            }
        }
        pauseOutput(false);
    }
    return Result::Ok;
}

Result Channel::stop() {
    if (!sound_) return Result::ErrInvalidHandle;
    closeOutput();
    sound_->playingOn_ = nullptr;
    sound_ = nullptr;
    callback_ = nullptr;
    ended_ = false;
    fired_.clear();
    return Result::Ok;
}

// ---- Null-safe forms ----------------------------------------------------------------------

Result init(System* system, int maxChannels, InitFlags flags, void* extraDriverData) {
    return system ? system->init(maxChannels, flags, extraDriverData) : Result::ErrInvalidHandle;
}
Result update(System* system) { return system ? system->update() : Result::ErrInvalidHandle; }
Result createStream(System* system, const char* name, Mode mode, void* extraInfo, Sound** sound) {
    if (!system) {
        if (sound) *sound = nullptr;
        return Result::ErrInvalidHandle;
    }
    return system->createStream(name, mode, extraInfo, sound);
}
Result playSound(System* system, int channelIndex, Sound* sound, bool paused, Channel** channel) {
    if (!system) {
        if (channel) *channel = nullptr;
        return Result::ErrInvalidHandle;
    }
    return system->playSound(channelIndex, sound, paused, channel);
}
Result getChannelsPlaying(System* system, int* channels) {
    return system ? system->getChannelsPlaying(channels) : Result::ErrInvalidHandle;
}
Result release(System* system) { return system ? system->release() : Result::ErrInvalidHandle; }
Result addSyncPoint(Sound* sound, unsigned offset, TimeUnit unit, const char* name,
                    SyncPoint** point) {
    if (!sound) {
        if (point) *point = nullptr;
        return Result::ErrInvalidHandle;
    }
    return sound->addSyncPoint(offset, unit, name, point);
}
Result getLength(Sound* sound, std::uint32_t* length, TimeUnit unit) {
    return sound ? sound->getLength(length, unit) : Result::ErrInvalidHandle;
}
Result release(Sound* sound) { return sound ? sound->release() : Result::ErrInvalidHandle; }
Result setCallback(Channel* channel, ChannelCallback callback) {
    return channel ? channel->setCallback(callback) : Result::ErrInvalidHandle;
}
Result getPosition(Channel* channel, std::uint32_t* position, TimeUnit unit) {
    return channel ? channel->getPosition(position, unit) : Result::ErrInvalidHandle;
}
Result isPlaying(Channel* channel, bool* playing) {
    return channel ? channel->isPlaying(playing) : Result::ErrInvalidHandle;
}
Result setPaused(Channel* channel, bool paused) {
    return channel ? channel->setPaused(paused) : Result::ErrInvalidHandle;
}
Result stop(Channel* channel) { return channel ? channel->stop() : Result::ErrInvalidHandle; }

}  // namespace sound
