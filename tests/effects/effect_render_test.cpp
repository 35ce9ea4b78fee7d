// Every effect body built on Mesa and rendered small: the letterbox, a band with a picture
// in it that moves with time, and an answer to exactly the inputs the body is meant to read.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <set>

#include "effect_kit.h"
#include "framework/image.h"

namespace {

constexpr int width = 96;
constexpr int height = 72;

using framework::gl::TextureRef;

TextureRef textureFrom(int w, int h, int channels, std::vector<std::uint8_t> pixels) {
    framework::gl::Texture::Format format;
    format.setWrap(GL_REPEAT, GL_REPEAT);
    return framework::gl::Texture::create(std::make_shared<framework::ImageSource>(w, h, channels, std::move(pixels)), format);
}

// Noise with the pairing the clouds rely on: green is red moved by (37, 17), alpha is blue
// moved the same way.
TextureRef noiseTexture(unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> px(256 * 256 * 4);
    for (int i = 0; i < 256 * 256; ++i) {
        px[i * 4 + 0] = static_cast<std::uint8_t>(random());
        px[i * 4 + 2] = static_cast<std::uint8_t>(random());
    }
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const int from = (((y + 256 - 17) % 256) * 256 + (x + 256 - 37) % 256) * 4;
            px[(y * 256 + x) * 4 + 1] = px[from + 0];
            px[(y * 256 + x) * 4 + 3] = px[from + 2];
        }
    return textureFrom(256, 256, 4, std::move(px));
}

// A card-like picture: bright marks on a dark ground, laid out differently for each seed.
TextureRef patternTexture(unsigned seed) {
    const int w = 190, h = 120;
    std::mt19937 random(seed);
    std::vector<std::uint8_t> px(w * h * 3, 0);
    const int bars = 6 + static_cast<int>(random() % 6);
    for (int b = 0; b < bars; ++b) {
        const int x0 = random() % w, y0 = random() % h, bw = 10 + random() % 60, bh = 4 + random() % 20;
        const std::uint8_t r = 80 + random() % 176, g = 80 + random() % 176, bl = 80 + random() % 176;
        for (int y = y0; y < std::min(h, y0 + bh); ++y)
            for (int x = x0; x < std::min(w, x0 + bw); ++x) {
                px[(y * w + x) * 3 + 0] = r;
                px[(y * w + x) * 3 + 1] = g;
                px[(y * w + x) * 3 + 2] = bl;
            }
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) px[(y * w + x) * 3 + 2] = std::max<int>(px[(y * w + x) * 3 + 2], x * 60 / w);
    return textureFrom(w, h, 3, std::move(px));
}

bool inLetterbox(int row) {
    const float v = (static_cast<float>(row) + 0.5f) / static_cast<float>(height);
    return v < 0.12f || v >= 0.88f;
}

// Pixels of the band that differ by more than a couple of steps in some component.
int bandDifference(const effects::Frame& a, const effects::Frame& b) {
    int count = 0;
    for (int y = 0; y < height; ++y) {
        if (inLetterbox(y)) continue;
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                if (std::abs(int(a.pixel(x, y)[c]) - int(b.pixel(x, y)[c])) > 2) {
                    ++count;
                    break;
                }
    }
    return count;
}

// Times at which to look at a body, and when each channel it reads is visible.
struct Schedule {
    float first = 2.0f, second = 6.0f;
    std::map<int, float> channelTime;  // defaults to `second`
};

Schedule scheduleFor(int number) {
    Schedule s;
    if (number == 76) {
        // The quotation card shows in the first 14 s, the drifting print from 16 s on.
        s.first = 5.0f;
        s.second = 20.0f;
        s.channelTime = {{2, 5.0f}, {1, 20.0f}};
    } else if (number == 82) {
        // The spheres are gone after about 4.5 s.
        s.first = 1.0f;
        s.second = 3.0f;
        s.channelTime = {{1, 1.0f}, {2, 1.0f}, {3, 1.0f}, {4, 1.0f}};
    }
    return s;
}

effects::OffscreenContext* context = nullptr;

class EffectRender : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        body_ = effects::findBody(GetParam());
        ASSERT_NE(body_, nullptr);
        ASSERT_NO_THROW(program_ = effects::buildEffect(GetParam()));
        fbo_ = framework::gl::Fbo(width, height);
        inputs_.channels[0] = noiseTexture(1);
        for (int n = 1; n < 8; ++n) inputs_.channels[n] = patternTexture(static_cast<unsigned>(n));
    }

    effects::Frame at(float time, const effects::Inputs& base) {
        effects::Inputs in = base;
        in.time = time;
        return effects::render(*program_, fbo_, in);
    }
    effects::Frame at(float time) { return at(time, inputs_); }

    TextureRef replacement(int channel) {
        return channel == 0 ? noiseTexture(99) : patternTexture(100u + static_cast<unsigned>(channel));
    }

    const effects::Body* body_ = nullptr;
    framework::gl::GlslProgRef program_;
    framework::gl::Fbo fbo_;
    effects::Inputs inputs_;
};

TEST_P(EffectRender, ActiveUniformsAreExactlyTheBodysInputs) {
    std::set<std::string> expected{"iResolution", "iGlobalTime"};
    if (body_->mouse) expected.insert("iMouse");
    for (int n = 0; n < 8; ++n)
        if ((body_->channels >> n) & 1u) expected.insert("iChannel" + std::to_string(n));
    const auto active = effects::activeUniforms(*program_);
    EXPECT_EQ(std::set<std::string>(active.begin(), active.end()), expected);
}

TEST_P(EffectRender, LetterboxIsBlackAndTheBandHoldsAMovingPicture) {
    const Schedule s = scheduleFor(GetParam());
    const effects::Frame first = at(s.first);
    const effects::Frame second = at(s.second);
    for (const effects::Frame* f : {&first, &second}) {
        int lo = 255, hi = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* p = f->pixel(x, y);
                if (inLetterbox(y)) {
                    ASSERT_TRUE(p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 255)
                        << "row " << y << " column " << x << ": " << int(p[0]) << "," << int(p[1]) << "," << int(p[2]) << "," << int(p[3]);
                } else {
                    const int luma = (p[0] * 3 + p[1] * 6 + p[2]) / 10;
                    lo = std::min(lo, luma);
                    hi = std::max(hi, luma);
                }
            }
        EXPECT_GT(hi - lo, 8) << "the band is (nearly) uniform";
    }
    EXPECT_GT(bandDifference(first, second), width * height / 100) << "t = " << s.first << " and t = " << s.second << " look alike";
}

TEST_P(EffectRender, AnswersTheChannelsItReadsAndNoOthers) {
    const Schedule s = scheduleFor(GetParam());
    for (int n = 0; n < 8; ++n) {
        if (!((body_->channels >> n) & 1u)) continue;
        const float t = s.channelTime.count(n) ? s.channelTime.at(n) : s.second;
        effects::Inputs changed = inputs_;
        changed.channels[n] = replacement(n);
        EXPECT_GT(bandDifference(at(t), at(t, changed)), 0) << "iChannel" << n << " at t = " << t << " has no effect";
    }
    effects::Inputs others = inputs_;
    for (int n = 0; n < 8; ++n)
        if (!((body_->channels >> n) & 1u)) others.channels[n] = replacement(n);
    EXPECT_EQ(bandDifference(at(s.second), at(s.second, others)), 0) << "an unlisted channel changes the picture";
}

TEST_P(EffectRender, AnswersTheMouseOnlyIfItReadsIt) {
    const Schedule s = scheduleFor(GetParam());
    effects::Inputs pressed = inputs_;
    pressed.mouse = {width * 0.3f, height * 0.7f, width * 0.3f, height * 0.7f};
    const int difference = bandDifference(at(s.second), at(s.second, pressed));
    if (body_->mouse) EXPECT_GT(difference, 0);
    else EXPECT_EQ(difference, 0);
}

std::vector<int> bodyNumbers() {
    std::vector<int> numbers;
    for (const effects::Body& b : effects::bodies()) numbers.push_back(b.number);
    return numbers;
}

INSTANTIATE_TEST_SUITE_P(Bodies, EffectRender, ::testing::ValuesIn(bodyNumbers()),
                         [](const ::testing::TestParamInfo<int>& info) { return "FRAG" + std::to_string(info.param); });

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    try {
        effects::OffscreenContext offscreen;
        context = &offscreen;
        return RUN_ALL_TESTS();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "effect_render_test: %s\n", e.what());
        return 1;
    }
}
