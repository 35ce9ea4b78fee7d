#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "framework/console.h"

namespace {

// Sends standard error to a file while alive, and gives back what was written.
class StderrCapture {
public:
    // Each test runs in a process of its own, possibly at the same time as the others.
    StderrCapture()
        : path_(std::string(::testing::TempDir()) + "console_capture_" + std::to_string(getpid()) + ".txt") {
        saved_ = dup(STDERR_FILENO);
        FILE* f = std::fopen(path_.c_str(), "w");
        dup2(fileno(f), STDERR_FILENO);
        std::fclose(f);
    }
    ~StderrCapture() { restore(); }
    std::string finish() {
        restore();
        std::ifstream in(path_);
        std::stringstream all;
        all << in.rdbuf();
        std::remove(path_.c_str());
        return all.str();
    }

private:
    void restore() {
        if (saved_ < 0) return;
        dup2(saved_, STDERR_FILENO);
        close(saved_);
        saved_ = -1;
    }
    std::string path_;
    int saved_ = -1;
};

}  // namespace

TEST(Console, LinesFromTwoThreadsNeverRunIntoEachOther) {
    constexpr int kLines = 2000;
    StderrCapture capture;
    auto writer = [](char tag) {
        for (int i = 0; i < kLines; ++i) {
            // Pieces of one line, written separately, must still land together.
            framework::console() << "Error " << tag << ' ' << i << " occurred. " << std::string(40, tag) << '\n';
        }
    };
    std::thread a(writer, 'a');
    std::thread b(writer, 'b');
    a.join();
    b.join();
    std::string out = capture.finish();

    std::istringstream lines(out);
    std::string line;
    std::set<std::string> seen;
    int count = 0;
    while (std::getline(lines, line)) {
        ++count;
        ASSERT_GE(line.size(), 50u) << line;
        char tag = line[6];
        std::ostringstream expected;
        std::istringstream fields(line.substr(8));
        int index = -1;
        fields >> index;
        expected << "Error " << tag << ' ' << index << " occurred. " << std::string(40, tag);
        EXPECT_EQ(line, expected.str());
        seen.insert(line);
    }
    EXPECT_EQ(count, 2 * kLines);
    EXPECT_EQ(seen.size(), static_cast<size_t>(2 * kLines));
}

TEST(Console, AnUnfinishedLineWaitsForItsEnd) {
    StderrCapture capture;
    framework::console() << "half";
    std::thread([] { framework::console() << "other line\n"; }).join();
    framework::console() << " and rest\n";
    EXPECT_EQ(capture.finish(), "other line\nhalf and rest\n");
}
