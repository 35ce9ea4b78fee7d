#include "player/soundtrack.h"

#include <string>

#include <boost/filesystem/operations.hpp>

#include "player/lumivex_app.h"

sound::System* soundSystem = nullptr;
sound::Sound* soundtrackStream = nullptr;
sound::Channel* soundtrackChannel = nullptr;
std::uint32_t musicPosition = 0;
float musicEventCount = 0.0f;

namespace {

struct SyncPointSpec {
    const char* name;
    unsigned offsetMs;
};
constexpr SyncPointSpec soundtrackSyncPoints[] = {
    {"Sync1", 4000},
    {"Sync2", 5000},
    {"Sync3", 6000},
    {"Sync4", 7000},
};

// Callback off, stop if it still plays, free the stream, forget both handles.
void releaseSoundtrack() {
    sound::setCallback(soundtrackChannel, nullptr);
    bool playing = false;
    sound::isPlaying(soundtrackChannel, &playing);
    if (playing) sound::stop(soundtrackChannel);
    sound::release(soundtrackStream);
    soundtrackStream = nullptr;
    soundtrackChannel = nullptr;
}

}  // namespace

boost::filesystem::path soundtrackPath() {
    return boost::filesystem::path(std::string("ZOLT.mp3"));
}

sound::Result onSoundtrackSync(sound::Channel*, sound::ChannelCallbackType type, void*, void*) {
    if (type == sound::ChannelCallbackType::SyncPoint) musicEventCount += 1.0f;
    return sound::Result::Ok;
}

void stopSoundtrack() {
    if (!soundtrackStream) return;
    releaseSoundtrack();
}

void startSoundtrack(const boost::filesystem::path& path) {
    if (path.empty()) return;
    try {
        if (!boost::filesystem::is_regular_file(boost::filesystem::status(path))) return;
    } catch (const boost::filesystem::filesystem_error&) {
        // A status that can't be read (access denied, say) counts as no soundtrack.
        return;
    }
    // A stream left without a channel is freed too, not only one that plays.
    if (soundtrackChannel || soundtrackStream) {
        if (soundtrackStream) releaseSoundtrack();
        soundtrackChannel = nullptr;
    }

    sound::createStream(soundSystem, path.string().c_str(), sound::modeStream, nullptr,
                        &soundtrackStream);
    sound::playSound(soundSystem, -1, soundtrackStream, false, &soundtrackChannel);
    sound::setCallback(soundtrackChannel, onSoundtrackSync);
    sound::SyncPoint* point = nullptr;
    for (const auto& sync : soundtrackSyncPoints)
        sound::addSyncPoint(soundtrackStream, sync.offsetMs, sound::TimeUnit::Ms, sync.name, &point);
}

void openSoundSystem() {
    sound::System_Create(&soundSystem);
    sound::init(soundSystem, 32, sound::initNormal, nullptr);
    soundtrackStream = nullptr;
    soundtrackChannel = nullptr;
}

void closeSoundSystem() {
    if (soundtrackChannel && soundtrackStream) releaseSoundtrack();
    if (soundSystem) sound::release(soundSystem);
}

void updateSound() {
    sound::update(soundSystem);
    sound::getPosition(soundtrackChannel, &musicPosition, sound::TimeUnit::Ms);
}

void LumivexApp::playSoundtrack(const boost::filesystem::path& path) { startSoundtrack(path); }

void LumivexApp::startSoundSystem() {
    openSoundSystem();
    playSoundtrack(soundtrackPath());
}

void LumivexApp::stopSoundSystem() { closeSoundSystem(); }
