// Stand-ins until the files that own these land; each owner deletes its block here.
#include "player/lumivex_app.h"
#include "player/soundtrack.h"

// --- soundtrack.cpp
sound::System* soundSystem = nullptr;
sound::Sound* soundtrackStream = nullptr;
sound::Channel* soundtrackChannel = nullptr;
std::uint32_t musicPosition = 0;
float musicEventCount = 0.0f;
boost::filesystem::path soundtrackPath() { return "ZOLT.mp3"; }
void stopSoundtrack() {}
void updateSound() {}
void LumivexApp::playSoundtrack(const boost::filesystem::path&) {}
void LumivexApp::startSoundSystem() {}
void LumivexApp::stopSoundSystem() {}

// --- texture_set.cpp
void LumivexApp::loadTextureSet() {}
