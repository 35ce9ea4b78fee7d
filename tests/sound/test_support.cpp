#include "test_support.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

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

}  // namespace soundtest
