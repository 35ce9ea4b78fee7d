// The player's own setup against a table that lacks fixed texts (and body 76, the timeline's
// first): the fatal report of the transition step, and the console line of each failed
// build, whose resource number shows which text was loaded first.
// Built once without 65 and 66, once without 64 and 65.

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "probe_app.h"

namespace {

#if defined(VARIANT_no65_66)
// The body is loaded before the header: the missing body is named, then the header for all
// the others.
const char* const kFirstBuild = "#76";
const char* const kOtherBuilds = "#66";
#else
// The vertex text is loaded before the body.
const char* const kFirstBuild = "#64";
const char* const kOtherBuilds = "#64";
#endif

}  // namespace

TEST(MissingFixedTexts, TheReportNames65AndEachBuildNamesTheFirstTextItLacks) {
    BoxRecorder recorder;
    bool sawSetup = false;
    auto* app = new ProbeApp;
    app->fullSetup = true;
    // The report ends the run before any frame; first let the loader go through every request.
    app->afterSetup = [&](ProbeApp& a) {
        sawSetup = true;
        EXPECT_FALSE(a.transitionProgram);
        const auto start = std::chrono::steady_clock::now();
        while (a.requestQueue->isNotEmpty() && std::chrono::steady_clock::now() - start < std::chrono::seconds(20))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        a.stopLoader();  // the pass under way writes its line before the thread ends
        EXPECT_FALSE(a.resultQueue->isNotEmpty()) << "no program can be built";
    };
    testing::internal::CaptureStderr();
    EXPECT_EQ(runProbe(app), 0);
    const std::string console = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(sawSetup);

    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].second, "Fatal Error");
    EXPECT_EQ(recorder.boxes[0].first, "Failed to load common textures and shaders:\nFailed to load resource: #65 type: FRAG");

    const std::string prefix = "Failed to compile the shader: Failed to load resource: ";
    std::vector<std::string> builds;
    std::istringstream in(console);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("Failed to compile the shader: ", 0) == 0) builds.push_back(line);
    ASSERT_EQ(builds.size(), 28u) << console;
    EXPECT_EQ(builds[0], prefix + kFirstBuild + " type: FRAG");
    for (std::size_t i = 1; i < builds.size(); ++i) EXPECT_EQ(builds[i], prefix + kOtherBuilds + " type: FRAG") << i;
}
