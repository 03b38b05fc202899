// A tmpfs of a few kilobytes mounted on a temporary folder for one test, to see what
// writes do when the disk is full. Mounting needs root (CAP_SYS_ADMIN); where that is
// missing, Mounted() is false and the test skips.
#pragma once

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

class SmallFileSystem {
  public:
    explicit SmallFileSystem(std::size_t bytes) {
        char pattern[] = "/tmp/brimwell-full-XXXXXX";
        if (!::mkdtemp(pattern))
            return;
        path_ = pattern;
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
        mounted_ =
            ::mount("tmpfs", path_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
    }
    ~SmallFileSystem() {
        if (mounted_)
            ::umount2(path_.c_str(), MNT_DETACH);
        if (!path_.empty())
            ::rmdir(path_.c_str());
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool Mounted() const { return mounted_; }
    std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

    // Fills every free block with the file "filler"; whether the disk is full now.
    bool Fill() const {
        int fd = ::open((*this / "filler").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (fd < 0)
            return false;
        const std::string block(4096, 'f');
        ssize_t written = 0;
        do {
            written = ::write(fd, block.data(), block.size());
        } while (written > 0);
        const bool full = written < 0 && errno == ENOSPC;
        ::close(fd);
        return full;
    }

  private:
    std::string path_;
    bool mounted_ = false;
};
