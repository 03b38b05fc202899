// A temporary folder for a test, removed with everything in it (also trees deeper than
// PATH_MAX) when the test ends, and whole-file reads and writes.
#pragma once

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

class TempDir {
  public:
    TempDir() {
        char pattern[] = "/tmp/brimwell-test-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    // rm removes trees deeper than PATH_MAX, which std::filesystem::remove_all cannot.
    ~TempDir() { std::system(("rm -rf " + path_).c_str()); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

    void MakeFolder(const std::string& relative) const {
        ::mkdir((*this / relative).c_str(), 0755);
    }
    void MakeFile(const std::string& relative, std::size_t bytes) const {
        std::ofstream file(*this / relative, std::ios::binary);
        file << std::string(bytes, 'x');
    }

  private:
    std::string path_;
};

// Writes text as the whole file, creating the folders above it.
inline void WriteText(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

// The whole file; empty when it cannot be read.
inline std::string ReadText(const std::filesystem::path& file) {
    std::ostringstream text;
    text << std::ifstream(file, std::ios::binary).rdbuf();
    return text.str();
}
