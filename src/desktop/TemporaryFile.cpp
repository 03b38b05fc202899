// The registry of temporary paths is a fixed table of slots, each claimed with an atomic
// flag, so that a signal handler can read it without a lock and without allocating. A path
// is complete in its slot before the slot is marked in use, and is never changed while it is.
#include "desktop/TemporaryFile.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>

namespace {

struct Slot {
    std::atomic<bool> claimed{false};  // by a TemporaryFile, which writes the path
    std::atomic<bool> inUse{false};    // the path is complete: the handler may unlink it
    char path[PATH_MAX];
};

// Writers at the same moment: the settings, the registry and setup files, one at a time
// each. A writer that finds no free slot goes on unregistered.
std::array<Slot, 8> slots;

static_assert(std::atomic<bool>::is_always_lock_free, "read from a signal handler");

int Claim() {
    for (std::size_t i = 0; i < slots.size(); ++i) {
        bool expected = false;
        if (slots[i].claimed.compare_exchange_strong(expected, true))
            return static_cast<int>(i);
    }
    return -1;
}

void Release(int slot) {
    if (slot < 0)
        return;
    slots[static_cast<std::size_t>(slot)].inUse = false;
    slots[static_cast<std::size_t>(slot)].claimed = false;
}

std::string RandomSuffix() {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string suffix(6, ' ');
    for (char& c : suffix)
        c = kLetters[pick(random)];
    return suffix;
}

}  // namespace

TemporaryFile::TemporaryFile(const std::filesystem::path& folder, const std::string& prefix)
    : slot_(Claim()) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        path_ = (folder / (prefix + RandomSuffix())).string();
        Slot* slot = slot_ >= 0 && path_.size() < PATH_MAX ? &slots[static_cast<std::size_t>(slot_)]
                                                           : nullptr;
        if (slot) {
            std::memcpy(slot->path, path_.c_str(), path_.size() + 1);
            slot->inUse = true;  // before the file exists, so that no moment is missed
        }
        fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd_ >= 0) {
            created_ = true;
            return;
        }
        if (slot)
            slot->inUse = false;  // that path is someone else's, or nobody's
        if (errno != EEXIST)
            break;
    }
    const int error = errno;
    Release(slot_);
    slot_ = -1;
    errno = error;
}

TemporaryFile::~TemporaryFile() {
    Close();
    if (created_)  // and not renamed
        ::unlink(path_.c_str());
    Release(slot_);
}

bool TemporaryFile::Close() {
    if (fd_ < 0)
        return true;
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
}

bool TemporaryFile::RenameOver(const std::filesystem::path& target) {
    if (!created_ || ::rename(path_.c_str(), target.c_str()) != 0)
        return false;
    // The path names nothing now (a handler that unlinks it in the meantime finds nothing).
    created_ = false;
    Release(slot_);
    slot_ = -1;
    return true;
}

void RemoveRegisteredTemporaryFiles() {
    for (Slot& slot : slots) {
        if (slot.inUse)
            ::unlink(slot.path);
    }
}
