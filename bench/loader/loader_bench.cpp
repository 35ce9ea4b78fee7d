// Frame times of the main thread while the loader compiles a burst of effect programs,
// against idle frames. Run under Xvfb:
//   tests/support/with_xvfb.sh -s 640x480 -- loader_bench [--draw N] [--idle FRAMES] [--cycles C]
// Idle stretches and bursts alternate, so that both sides see the same load on the machine.
// Prints p50 and p99 of both, and their ratios.

#include <epoxy/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "framework/app.h"
#include "framework/resources.h"
#include "player/lumivex_app.h"

namespace {

using Clock = std::chrono::steady_clock;

int drawId = 67;        // the effect the main thread keeps drawing
int idleFrames = 80;    // frames of each idle stretch
int cycles = 6;         // idle stretch, then a burst of every body 67..83 once

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    const double at = p * static_cast<double>(v.size() - 1);
    const auto lo = static_cast<std::size_t>(at);
    const std::size_t hi = std::min(lo + 1, v.size() - 1);
    return v[lo] + (v[hi] - v[lo]) * (at - static_cast<double>(lo));
}

class BenchApp : public LumivexApp {
public:
    void prepareSettings(Settings* settings) override {
        settings->setWindowSize(640, 480);
        settings->disableFrameRate();
        settings->setResizable(false);
        restoreWidth = 640;
        restoreHeight = 480;
    }

    void setup() override {
        requestQueue = new ShaderQueue(100);
        resultQueue = new ShaderQueue(100);
        if (!startLoader()) {
            std::fprintf(stderr, "the loader did not start\n");
            std::exit(1);
        }
        // The effect on screen is built here, so the idle frames see no build at all.
        const std::string vertex(framework::loadResource(64, "FRAG")->asText());
        const std::string fragment = std::string(framework::loadResource(66, "FRAG")->asText()) +
                                     std::string(framework::loadResource(drawId, "FRAG")->asText());
        shown_ = std::make_shared<framework::gl::GlslProg>(vertex, fragment);
    }

    void resize() override {}

    void update() override {
        const auto now = Clock::now();
        if (frames_ > 0) {
            const double ms = std::chrono::duration<double, std::milli>(now - last_).count();
            // The first frames warm up the drawn effect; they count for neither side.
            if (frames_ > 20) (bursting_ ? burst_ : idle_).push_back(ms);
        }
        last_ = now;
        ++frames_;

        if (!bursting_ && frames_ > 20 && ++idleCount_ >= idleFrames) {
            bursting_ = true;
            idleCount_ = 0;
            burstStart_ = now;
            for (int id = 67; id <= 83; ++id) requestQueue->pushFront(ShaderRequest(id));
            wanted_ += 17;
        }
        while (resultQueue->isNotEmpty()) {
            ShaderRequest r;
            resultQueue->popBack(r);
            if (r.program) ++built_;
        }
        if (bursting_ && built_ >= wanted_ && !requestQueue->isNotEmpty()) {
            bursting_ = false;
            burstSeconds_ += std::chrono::duration<double>(now - burstStart_).count();
            if (++cyclesDone_ == cycles) quit();
        }
    }

    void draw() override {
        const int w = getWindowWidth(), h = getWindowHeight();
        glViewport(0, 0, w, h);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        shown_->bind();
        shown_->uniform("iResolution", framework::Vec3f{float(w), float(h), 1.0f});
        shown_->uniform("iGlobalTime", static_cast<float>(frames_) / 60.0f);
        glBegin(GL_QUADS);
        glVertex2f(-1, -1);
        glVertex2f(1, -1);
        glVertex2f(1, 1);
        glVertex2f(-1, 1);
        glEnd();
        framework::gl::GlslProg::unbind();
        // The frame's work is done inside the frame it belongs to.
        glFinish();
    }

    void shutdown() override {
        LumivexApp::shutdown();
        const double idle50 = percentile(idle_, 0.5), idle99 = percentile(idle_, 0.99);
        const double burst50 = percentile(burst_, 0.5), burst99 = percentile(burst_, 0.99);
        std::printf("loader burst bench: 640x480, drawing FRAG %d, %d cycles of %d idle frames and a burst of bodies 67..83\n",
                    drawId, cycles, idleFrames);
        std::printf("  burst: %d built in %.2f s (%.1f ms each)\n", built_, burstSeconds_,
                    built_ ? 1000.0 * burstSeconds_ / built_ : 0.0);
        std::printf("  idle  frames: %4zu  p50 %7.2f ms  p99 %7.2f ms\n", idle_.size(), idle50, idle99);
        std::printf("  burst frames: %4zu  p50 %7.2f ms  p99 %7.2f ms\n", burst_.size(), burst50, burst99);
        std::printf("  ratio burst/idle: p50 %.3f  p99 %.3f  (goal p99 <= 1.25)\n",
                    idle50 > 0 ? burst50 / idle50 : 0.0, idle99 > 0 ? burst99 / idle99 : 0.0);
        std::fflush(stdout);
    }

private:
    framework::gl::GlslProgRef shown_;
    std::vector<double> idle_, burst_;
    Clock::time_point last_, burstStart_;
    int frames_ = 0;
    bool bursting_ = false;
    int wanted_ = 0;
    int idleCount_ = 0;
    int cyclesDone_ = 0;
    int built_ = 0;
    double burstSeconds_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--draw")) drawId = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--idle")) idleFrames = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--cycles")) cycles = std::atoi(argv[i + 1]);
    }
    // Every program of the burst is compiled for real, not fetched from an earlier run's cache.
    ::setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);
    framework::launch(new BenchApp, std::make_shared<framework::RendererGl>(0), "LoaderBench");
    return 0;
}
