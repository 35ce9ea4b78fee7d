// The player's frame against a bare harness that only draws the same program into a frame
// buffer and presents it: same window, same program, same run, in alternating blocks so
// that drift hits both alike. A second mode reports frame pacing at the 60-fps limit.
//
//   show_frame_bench [ratio|pacing] [--body N | --trivial] [--frames N]
//
// Run it under an X server at 640x480 (tests/support/with_xvfb.sh -s 640x480 -- ...). It
// works in a fresh temporary folder, so no soundtrack is found and the show's clock stands
// still on its first effect.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "framework/app.h"
#include "framework/gl/draw.h"
#include "framework/resources.h"
#include "player/lumivex_app.h"

namespace gl = framework::gl;
using Clock = std::chrono::steady_clock;

namespace {

struct Options {
    bool pacing = false;
    int body = 0;  // 0: the show's own first effect
    bool trivial = false;  // a body that paints one colour: the loop's own cost shows
    int frames = 2000;
};

struct Stats {
    double mean = 0, trimmed = 0, median = 0, p95 = 0, p99 = 0, min = 0, max = 0, stddev = 0;
};

Stats statsOf(std::vector<double> v) {
    Stats s;
    if (v.empty()) return s;
    std::sort(v.begin(), v.end());
    double sum = 0, sq = 0;
    for (double x : v) sum += x;
    s.mean = sum / v.size();
    for (double x : v) sq += (x - s.mean) * (x - s.mean);
    s.stddev = std::sqrt(sq / v.size());
    s.median = v[v.size() / 2];
    s.p95 = v[std::min(v.size() - 1, v.size() * 95 / 100)];
    s.p99 = v[std::min(v.size() - 1, v.size() * 99 / 100)];
    // Mean of the middle 80%: a shared machine's stalls land in the tails.
    const std::size_t cut = v.size() / 10;
    double mid = 0;
    for (std::size_t i = cut; i < v.size() - cut; ++i) mid += v[i];
    s.trimmed = mid / (v.size() - 2 * cut);
    s.min = v.front();
    s.max = v.back();
    return s;
}

class BenchApp : public LumivexApp {
public:
    explicit BenchApp(const Options& options) : options_(options) {}

    void prepareSettings(Settings* settings) override {
        LumivexApp::prepareSettings(settings);
        if (!options_.pacing) settings->disableFrameRate();
    }

    void update() override {
        const Clock::time_point now = Clock::now();
        if (measuring_ && havePrevious_) {
            const double ms = std::chrono::duration<double, std::milli>(now - previous_).count();
            // The first frame of a block carries the other mode's tail: left out.
            if (!firstOfBlock_) (previousBare_ ? bare_ : player_).push_back(ms);
        }
        previous_ = now;
        havePrevious_ = measuring_;

        if (measuring_) {
            const int block = frame_ / blockLength;
            firstOfBlock_ = frame_ % blockLength == 0;
            bareMode_ = !options_.pacing && block % 2 == 1;
            previousBare_ = bareMode_;
            ++frame_;
            if (frame_ > options_.frames) {
                report();
                quit();
            }
        }
        if (!bareMode_) LumivexApp::update();
    }

    void draw() override {
        drawBody();
        if (measuring_ && havePrevious_ && !firstOfBlock_) {
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - previous_).count();
            (bareMode_ ? bareWork_ : playerWork_).push_back(ms);
        }
    }

private:
    void drawBody() {
        if (!measuring_) {
            LumivexApp::draw();
            // Wait for the first effect to be current and its successor to be waiting: from
            // then on nothing changes but the frame itself.
            if (currentProgram && pendingProgram && ++settled_ > 30) {
                if (options_.body || options_.trivial) {
                    const std::string vertex(framework::loadResource(64, "FRAG")->asText());
                    const std::string header(framework::loadResource(66, "FRAG")->asText());
                    const std::string body =
                        options_.trivial ? "void main() { gl_FragColor = vec4(iMouse.xy, 0.5, 1.0); }\n"
                                         : std::string(framework::loadResource(options_.body, "FRAG")->asText());
                    currentProgram = std::make_shared<gl::GlslProg>(vertex, header + body);
                }
                program_ = currentProgram;
                measuring_ = true;
            }
            if (getElapsedSeconds() > 120) {
                std::fprintf(stderr, "the first effect never became current\n");
                quit();
            }
            return;
        }
        if (!bareMode_) {
            LumivexApp::draw();
            return;
        }
        const float w = static_cast<float>(getWindowWidth()), h = static_cast<float>(getWindowHeight());
        effectFbo.bindFramebuffer();
        program_->bind();
        gl::drawSolidRect(framework::Rectf{0.0f, h, w, 0.0f});
        gl::GlslProg::unbind();
        gl::Fbo::unbindFramebuffer();
        gl::draw(effectFbo.getTexture(0), getWindowBounds());
    }

    static constexpr int blockLength = 50;

    void report() {
        const std::string what = options_.trivial ? "a one-colour body"
                                 : options_.body  ? "body " + std::to_string(options_.body)
                                                  : "the show's first effect (body 76)";
        std::printf("window %dx%d, %s\n", getWindowWidth(), getWindowHeight(), what.c_str());
        auto line = [](const char* name, const Stats& s, std::size_t n) {
            std::printf("%-12s n %5zu  mean %7.3f ms  trimmed %7.3f  median %7.3f  p95 %7.3f  p99 %7.3f  min %7.3f  max %7.3f  sd %6.3f\n",
                        name, n, s.mean, s.trimmed, s.median, s.p95, s.p99, s.min, s.max, s.stddev);
        };
        const Stats player = statsOf(player_);
        line("player frame", player, player_.size());
        if (options_.pacing) {
            const double period = 1000.0 / 60.0;
            int late = 0, early = 0;
            for (double ms : player_) {
                if (ms > period * 1.5) ++late;
                if (ms < period * 0.5) ++early;
            }
            std::printf("pacing at the 60-fps limit: %.2f fps, period %.3f ms, %d frames over 1.5 periods, %d under 0.5\n",
                        1000.0 / player.mean, period, late, early);
            return;
        }
        const Stats bare = statsOf(bare_);
        line("bare frame", bare, bare_.size());
        // Update and draw alone, without the swap and the event pump.
        const Stats playerWork = statsOf(playerWork_), bareWork = statsOf(bareWork_);
        line("player work", playerWork, playerWork_.size());
        line("bare work", bareWork, bareWork_.size());
        std::printf("frame time player / bare: trimmed mean %.4fx  median %.4fx  mean %.4fx  (goal <= 1.02x)\n",
                    player.trimmed / bare.trimmed, player.median / bare.median, player.mean / bare.mean);
        std::printf("work (update + draw) player - bare: median %+.3f ms\n", playerWork.median - bareWork.median);
    }

    Options options_;
    gl::GlslProgRef program_;
    bool measuring_ = false, bareMode_ = false, previousBare_ = false, firstOfBlock_ = true;
    bool havePrevious_ = false;
    int frame_ = 0, settled_ = 0;
    Clock::time_point previous_;
    std::vector<double> player_, bare_, playerWork_, bareWork_;
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "pacing")) {
            options.pacing = true;
            options.frames = 600;
        } else if (!std::strcmp(argv[i], "ratio")) {
            options.pacing = false;
        } else if (!std::strcmp(argv[i], "--body") && i + 1 < argc) {
            options.body = std::atoi(argv[++i]);
        } else if (!std::strcmp(argv[i], "--trivial")) {
            options.trivial = true;
        } else if (!std::strcmp(argv[i], "--frames") && i + 1 < argc) {
            options.frames = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s [ratio|pacing] [--body N | --trivial] [--frames N]\n", argv[0]);
            return 2;
        }
    }
    // No soundtrack in a fresh folder: the clock stays at 0 and the first effect stays.
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("lumivex-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);

    framework::launch(new BenchApp(options), std::make_shared<framework::RendererGl>(0), "LumivexApp");
    std::filesystem::current_path("/");
    std::filesystem::remove_all(folder);
    return 0;
}
