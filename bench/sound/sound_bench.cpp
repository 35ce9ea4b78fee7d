// CPU time the sound library spends per second of playback, against the mpg123 command line
// decoding the same file to nowhere. Prints the figures and their ratio.
//
// The library's share is measured in two parts, so that the bench's own waiting doesn't count:
// the CPU time of every thread but the main one while the stream plays (decode and output),
// plus the cost of the calls the player makes every frame (update and getPosition), timed in a
// loop and taken 60 times a second.

#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include <SDL.h>

#include "sound/sound.h"

namespace {

double cpuSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; }

// Runs `mpg123 -q -s file` with its output thrown away; the child's CPU time, or -1.
double mpg123CpuSeconds(const char* file) {
    pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execlp("mpg123", "mpg123", "-q", "-s", file, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
    double playSeconds = 30;
    std::string file = DEFAULT_SOUNDTRACK;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
            playSeconds = std::atof(argv[++i]);
        else
            file = argv[i];
    }

    sound::System* system = nullptr;
    sound::System_Create(&system);
    if (sound::init(system, 32, sound::initNormal, nullptr) != sound::Result::Ok) {
        std::fprintf(stderr, "sound_bench: no sound system\n");
        return 1;
    }
    sound::Sound* stream = nullptr;
    if (system->createStream(file.c_str(), sound::modeStream, nullptr, &stream) != sound::Result::Ok) {
        std::fprintf(stderr, "sound_bench: can't open %s\n", file.c_str());
        return 1;
    }
    std::uint32_t lengthMs = 0;
    stream->getLength(&lengthMs, sound::TimeUnit::Ms);
    for (unsigned offset : {4000u, 5000u, 6000u, 7000u})
        stream->addSyncPoint(offset, sound::TimeUnit::Ms, "Sync", nullptr);

    const double cpuBefore = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double mainBefore = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    sound::Channel* channel = nullptr;
    system->playSound(-1, stream, false, &channel);
    const double startCall = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - mainBefore;
    std::uint32_t position = 0;
    bool playing = true;
    while (playing && position < playSeconds * 1000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        system->update();
        channel->getPosition(&position, sound::TimeUnit::Ms);
        channel->isPlaying(&playing);
    }
    const double playCpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuBefore -
                           (cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - mainBefore) + startCall;
    const double played = position / 1000.0;

    // The per-frame calls, while the stream still plays.
    const int calls = 200000;
    const double callsBefore = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    for (int i = 0; i < calls; ++i) {
        system->update();
        channel->getPosition(&position, sound::TimeUnit::Ms);
    }
    const double perFrame = (cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - callsBefore) / calls;
    const char* driver = SDL_GetCurrentAudioDriver();
    const std::string output = driver ? driver : "?";
    system->release();

    const double layerPerSecond = playCpu / played + 60 * perFrame;
    std::printf("sound library: %.1f s played on the \"%s\" output: %.1f ms CPU, %.3f ms per second;\n"
                "               update + getPosition %.2f us a frame, %.3f ms per second at 60 Hz;\n"
                "               in all %.3f ms CPU per second of playback\n",
                played, output.c_str(), playCpu * 1000, playCpu * 1000 / played, perFrame * 1e6,
                perFrame * 60 * 1000, layerPerSecond * 1000);

    // The command line's figure is the median of three runs; it moves by a few percent.
    double runs[3];
    for (double& run : runs) run = mpg123CpuSeconds(file.c_str());
    std::sort(runs, runs + 3);
    const double cliCpu = runs[1];
    if (runs[0] < 0) {
        std::fprintf(stderr, "sound_bench: mpg123 did not run\n");
        return 1;
    }
    const double fileSeconds = lengthMs / 1000.0;
    std::printf("mpg123 -q -s:  %.1f s decoded (median of 3): %.1f ms CPU, %.3f ms CPU per second\n", fileSeconds,
                cliCpu * 1000, cliCpu * 1000 / fileSeconds);
    std::printf("ratio (library / mpg123): %.2f (goal: at most 1.2)\n",
                layerPerSecond / (cliCpu / fileSeconds));
    return 0;
}
