// The effect texts as embedded: line ends, what a body may declare and read, and that each
// compiles behind the header as GLSL 1.20 with the reference compiler.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <set>
#include <string>

#include "effect_kit.h"
#include "framework/resources.h"

namespace {

const char* const headerNames[] = {"iResolution", "iGlobalTime", "iChannelTime", "iChannelResolution",
                                   "iMouse", "iChannel0", "iChannel1", "iChannel2", "iChannel3",
                                   "iChannel4", "iChannel5", "iChannel6", "iChannel7", "iDate",
                                   "iSampleRate", "iMusicEvent"};

std::string text(int number) { return std::string(framework::loadResource(number, "FRAG")->asText()); }

std::string withoutComments(const std::string& s) {
    static const std::regex comments(R"(//[^\n]*|/\*[\s\S]*?\*/)");
    return std::regex_replace(s, comments, " ");
}

bool mentions(const std::string& code, const std::string& name) {
    return std::regex_search(code, std::regex("\\b" + name + "\\b"));
}

class EffectText : public ::testing::TestWithParam<int> {};

TEST_P(EffectText, EndsEveryLineWithCarriageReturnAndLineFeed) {
    const std::string s = text(GetParam());
    ASSERT_FALSE(s.empty());
    EXPECT_EQ(s.back(), '\n');
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\n') {
            ASSERT_TRUE(i > 0 && s[i - 1] == '\r') << "bare line feed at byte " << i;
        } else if (s[i] == '\r') {
            ASSERT_TRUE(i + 1 < s.size() && s[i + 1] == '\n') << "bare carriage return at byte " << i;
        }
    }
}

TEST_P(EffectText, FollowsTheHeaderWithoutRedeclaringIt) {
    const std::string code = withoutComments(text(GetParam()));
    EXPECT_EQ(code.find("#version"), std::string::npos);
    EXPECT_FALSE(mentions(code, "uniform"));
    for (const char* name : headerNames) {
        std::regex declaration("\\b(float|int|bool|vec[234]|ivec[234]|mat[234]|sampler2D)\\s+" + std::string(name) + "\\b");
        EXPECT_FALSE(std::regex_search(code, declaration)) << name << " declared again";
    }
    EXPECT_TRUE(std::regex_search(code, std::regex(R"(\bvoid\s+main\s*\(\s*(void)?\s*\))")));
    EXPECT_TRUE(mentions(code, "gl_FragColor"));
    EXPECT_TRUE(mentions(code, "gl_FragCoord"));
}

TEST_P(EffectText, ReadsOnlyTheInputsItsEffectNeeds) {
    const effects::Body* body = effects::findBody(GetParam());
    ASSERT_NE(body, nullptr);
    const std::string code = withoutComments(text(GetParam()));
    EXPECT_TRUE(mentions(code, "iResolution"));
    EXPECT_TRUE(mentions(code, "iGlobalTime"));
    for (const char* never : {"iChannelTime", "iChannelResolution", "iDate", "iSampleRate", "iMusicEvent"})
        EXPECT_FALSE(mentions(code, never)) << never;
    EXPECT_EQ(mentions(code, "iMouse"), body->mouse);
    for (int n = 0; n < 8; ++n)
        EXPECT_EQ(mentions(code, "iChannel" + std::to_string(n)), ((body->channels >> n) & 1u) != 0) << "iChannel" << n;
}

TEST_P(EffectText, CompilesBehindTheHeaderAsGlsl120) {
    const std::string source = effects::effectFragmentSource(GetParam());
    ASSERT_EQ(source.rfind("#version 120\n", 0), 0u);
    char path[] = "/tmp/effect_XXXXXX.frag";
    int fd = mkstemps(path, 5);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, source.data(), source.size()), static_cast<ssize_t>(source.size()));
    close(fd);
    const std::string command = std::string(GLSLANG_VALIDATOR) + " -S frag " + path + " > " + path + ".log 2>&1";
    const int status = std::system(command.c_str());
    std::ifstream logFile(std::string(path) + ".log");
    const std::string log((std::istreambuf_iterator<char>(logFile)), std::istreambuf_iterator<char>());
    std::remove(path);
    std::remove((std::string(path) + ".log").c_str());
    EXPECT_EQ(status, 0) << log;
}

std::vector<int> bodyNumbers() {
    std::vector<int> numbers;
    for (const effects::Body& b : effects::bodies()) numbers.push_back(b.number);
    return numbers;
}

INSTANTIATE_TEST_SUITE_P(Bodies, EffectText, ::testing::ValuesIn(bodyNumbers()),
                         [](const ::testing::TestParamInfo<int>& info) { return "FRAG" + std::to_string(info.param); });

TEST(EffectCatalogue, CoversFrag67To83) {
    ASSERT_EQ(effects::bodies().size(), 17u);
    for (int n = 67; n <= 83; ++n) EXPECT_NE(effects::findBody(n), nullptr) << n;
}

}  // namespace
