#include "test_support.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

namespace soundtest {

std::string clip(const std::string& name) { return std::string(SOUND_CLIP_DIR) + "/" + name; }

ScratchDir::ScratchDir() {
    path_ = boost::filesystem::temp_directory_path() /
            boost::filesystem::unique_path("lumivex-sound-%%%%-%%%%-%%%%");
    boost::filesystem::create_directories(path_);
}

ScratchDir::~ScratchDir() {
    if (entered_) boost::filesystem::current_path(previous_);
    boost::system::error_code ignored;
    boost::filesystem::remove_all(path_, ignored);
}

void ScratchDir::enter() {
    previous_ = boost::filesystem::current_path();
    boost::filesystem::current_path(path_);
    entered_ = true;
}

void writeFile(const boost::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path.string(), std::ios::binary);
    out << bytes;
    if (!out) throw std::runtime_error("can't write " + path.string());
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("can't read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string damage(std::string bytes, double seconds, double length, const std::string& with) {
    const auto at = static_cast<std::size_t>(static_cast<double>(bytes.size()) * seconds / length);
    bytes.replace(at, with.size(), with);
    return bytes;
}

std::uint32_t expectRunsOnInRealTime(const std::function<std::uint32_t()>& read, std::uint32_t atEnd,
                                     std::chrono::steady_clock::time_point ended) {
    std::uint32_t previous = atEnd;
    while (secondsSince(ended) < 0.6) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const std::uint32_t position = read();
        EXPECT_GE(position, previous) << "the position went back after the end";
        previous = position;
    }
    const double before = secondsSince(ended) * 1000.0;
    const std::uint32_t position = read();
    const double after = secondsSince(ended) * 1000.0;
    EXPECT_GE(position - atEnd + 30.0, before) << "the position must run on in real time";
    EXPECT_LE(position - atEnd, after + 30.0);
    return position;
}

std::string garbage(unsigned seed, std::size_t size) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xff);
    return bytes;
}

}  // namespace soundtest
