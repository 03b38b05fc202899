// Reading scan files, plain or gzip (FileBytes), in blocks ahead of the parser; writing them
// plain or compressed by libdeflate.
#include "scanfile/ScanFileStreams.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "scanfile/FileBytes.h"

namespace {

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// Line feeds in bytes, eight bytes at a time: this runs over every byte of the file.
std::uint64_t CountLineFeeds(const char* bytes, std::size_t size) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kLow7 = 0x7f7f7f7f7f7f7f7full;
    std::uint64_t count = 0;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        word ^= kOnes * '\n';  // line feeds become zero bytes
        // The top bit of each byte that was zero, without carries between bytes.
        std::uint64_t zero = ~(((word & kLow7) + kLow7) | word | kLow7);
        count += ((zero >> 7) * kOnes) >> 56;  // the bytes' ones added up in the top byte
    }
    for (; i < size; ++i)
        count += bytes[i] == '\n';
    return count;
}

}  // namespace

ScanFileInput::ScanFileInput(std::size_t blockSize) : blockSize_(blockSize) {
    static const char kNothing = '\0';
    data_ = last_ = &kNothing;
}

ScanFileInput::~ScanFileInput() {
    if (reader_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
        reader_.join();
    }
}

bool ScanFileInput::Open(const std::string& path) {
    int fd = path == "-" ? ::dup(STDIN_FILENO) : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        failure_ = std::strerror(errno);
        return false;
    }
    struct stat info;
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        failure_ = std::strerror(EISDIR);
        return false;
    }
    source_ = std::make_unique<FileBytes>(fd, blockSize_);
    for (Block& block : blocks_)
        block.bytes = std::make_unique<char[]>(blockSize_ + 1);
    // Not cleared: a page of it costs memory only once a string reaches it.
    string_ = std::make_unique_for_overwrite<char[]>(kStringBuffer);
    try {
        reader_ = std::thread([this] { Read(); });
    } catch (const std::system_error& error) {  // no room for another thread's stack
        failure_ = error.code().message();
        return false;
    }
    Next();
    return true;
}

void ScanFileInput::Fill(Block& block) {
    block.size = 0;
    block.stopped = false;
    block.failure.clear();
    if (stop_ && stop_()) {
        block.stopped = true;
        return;
    }
    long got = source_->Read(block.bytes.get(), blockSize_);
    if (got < 0)
        block.failure = source_->Failure();
    else
        block.size = static_cast<std::size_t>(got);
}

void ScanFileInput::Read() {
    std::uint64_t start = 0, lines = 0, lineStart = 0;
    for (std::uint64_t number = 0;; ++number) {
        {
            // The parser keeps blocks taken_ - 1 and taken_ - 2: those are not refilled.
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return quit_ || number + 2 < taken_ + kBlocks; });
            if (quit_)
                return;
        }
        Block& block = blocks_[number % kBlocks];
        block.start = start;
        block.linesBefore = lines;
        block.lineStart = lineStart;
        Fill(block);
        block.bytes[block.size] = '\0';
        // Lines are counted here, so that the parser only looks for them after an error.
        const char* bytes = block.bytes.get();
        lines += CountLineFeeds(bytes, block.size);
        if (const void* last = ::memrchr(bytes, '\n', block.size))
            lineStart = start + (static_cast<const char*>(last) - bytes) + 1;
        start += block.size;
        {
            std::lock_guard lock(mutex_);
            filled_ = number + 1;
        }
        changed_.notify_all();
        if (block.size == 0)
            return;  // the end, or a failure
    }
}

ScanFileInput::Span ScanFileInput::Next() {
    if (!source_ || end_)
        return {data_, last_};  // at the end Peek keeps answering '\0'
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return filled_ > taken_; });
        ++taken_;
    }
    changed_.notify_all();  // the block before the previous one may be read into again
    const Block& block = Current();
    data_ = block.bytes.get();
    start_ = block.start;
    if (block.size == 0) {
        end_ = true;
        stopped_ = block.stopped;
        failure_ = block.failure;
    }
    // Take moves on within the block and reads the next one from its last byte.
    last_ = block.size == 0 ? data_ : data_ + block.size - 1;
    return {data_, last_};
}

ScanFileInput::Place ScanFileInput::Where(std::size_t offset) const {
    if (taken_ == 0)
        return {};
    const Block& current = Current();
    const bool inPrevious = offset < current.start && taken_ >= 2;
    const Block& block = inPrevious ? blocks_[(taken_ - 2) % kBlocks] : current;
    std::uint64_t within =
        std::min<std::uint64_t>(offset - std::min<std::uint64_t>(offset, block.start), block.size);
    Place place{block.linesBefore + 1, 0};
    std::uint64_t lineStart = block.lineStart;
    const char* bytes = block.bytes.get();
    for (std::uint64_t i = 0; i < within; ++i) {
        if (bytes[i] == '\n') {
            ++place.line;
            lineStart = block.start + i + 1;
        }
    }
    place.column = block.start + within - lineStart + 1;
    return place;
}

struct ScanFileOutput::Sink {
    int fd = -1;
    bool ownFd = false;
    // For a .gz name: each buffer handed over becomes one gzip member. A file of several
    // members is a gzip file (gzip, zcat and zlib read on through them), and libdeflate
    // compresses a whole buffer in less than half the time zlib's stream takes at its
    // fastest level, time the scan would otherwise wait for on a busy processor.
    libdeflate_compressor* deflater = nullptr;
    std::string compressed;

    ~Sink() {
        if (deflater)
            libdeflate_free_compressor(deflater);
    }
    // Writes all of bytes; the error number, or 0.
    int WriteAll(std::string_view bytes) const {
        for (std::size_t done = 0; done < bytes.size();) {
            ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (wrote < 0 && errno == EINTR)
                continue;
            if (wrote <= 0)
                return wrote < 0 ? errno : EIO;
            done += static_cast<std::size_t>(wrote);
        }
        return 0;
    }
    int Compress(std::string_view bytes) {
        compressed.resize(libdeflate_gzip_compress_bound(deflater, bytes.size()));
        std::size_t size = libdeflate_gzip_compress(deflater, bytes.data(), bytes.size(),
                                                    compressed.data(), compressed.size());
        if (size == 0)
            return EIO;  // cannot happen within the bound
        return WriteAll(std::string_view(compressed.data(), size));
    }
};

ScanFileOutput::ScanFileOutput() = default;

ScanFileOutput::~ScanFileOutput() {
    Stop();
    if (sink_ && sink_->ownFd)
        ::close(sink_->fd);
    // replacement_ removes the temporary file of an output not finished.
}

void ScanFileOutput::Fail(int error) {
    std::lock_guard lock(mutex_);
    if (failure_.empty())
        failure_ = std::strerror(error ? error : EIO);
}

bool ScanFileOutput::Failed() const {
    std::lock_guard lock(mutex_);
    return !failure_.empty();
}

std::string ScanFileOutput::Failure() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

bool ScanFileOutput::Open(const std::string& path) {
    sink_ = std::make_unique<Sink>();
    int fd = STDOUT_FILENO;
    if (path != "-") {
        fd = replacement_.Open(path);
        if (fd < 0) {
            Fail(errno);
            return false;
        }
        sink_->ownFd = true;
    }
    sink_->fd = fd;
    if (path != "-" && EndsWith(path, ".gz")) {
        // The fastest level: the size is not far from the best, and time is the scan's.
        sink_->deflater = libdeflate_alloc_compressor(1);
        if (!sink_->deflater) {
            Fail(ENOMEM);
            return false;
        }
    }
    buffer_.reserve(kFlushAt + 4096);
    writer_ = std::thread([this] { WriteOut(); });
    return true;
}

void ScanFileOutput::HandOver() {
    if (!writer_.joinable()) {
        buffer_.clear();
        return;
    }
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !hasPending_; });
        std::swap(buffer_, pending_);  // buffer_ gets the storage written last time
        hasPending_ = true;
    }
    changed_.notify_all();
    buffer_.clear();
}

void ScanFileOutput::WriteOut() {
    std::string bytes;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return hasPending_ || closing_; });
            if (!hasPending_)
                return;  // closing, and everything is written
            std::swap(bytes, pending_);
        }
        if (!Failed() && !bytes.empty()) {
            int error = sink_->deflater ? sink_->Compress(bytes) : sink_->WriteAll(bytes);
            if (error != 0)
                Fail(error);
        }
        bytes.clear();
        {
            std::lock_guard lock(mutex_);
            std::swap(bytes, pending_);  // the storage goes back for the next hand-over
            hasPending_ = false;
        }
        changed_.notify_all();
    }
}

void ScanFileOutput::Stop() {
    if (!writer_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    writer_.join();
}

bool ScanFileOutput::Finish() {
    if (!sink_)
        return false;
    HandOver();
    Stop();
    if (sink_->ownFd) {
        sink_->ownFd = false;
        if (::close(sink_->fd) != 0)
            Fail(errno);
    }
    if (!Failed() && !replacement_.Commit())
        Fail(errno);
    return !Failed();
}
