#pragma once
// Helpers of the sound tests: the generated clips, scratch folders, the clock.

#include <chrono>
#include <cstdint>
#include <string>

#include <boost/filesystem.hpp>

namespace soundtest {

std::string clip(const std::string& name);  // path of a generated clip

// A fresh folder of its own; the working directory is moved there and back.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const boost::filesystem::path& path() const { return path_; }
    void enter();

private:
    boost::filesystem::path path_, previous_;
    bool entered_ = false;
};

void writeFile(const boost::filesystem::path& path, const std::string& bytes);
std::string readFile(const std::string& path);

inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace soundtest
