// The bytes of scan files: reading one, plain or gzip-compressed, in large blocks with the
// line and column of the place the parser stopped; writing one, plain or gzip-compressed,
// so that a failed write leaves the file that was there before, or none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

// A file's bytes as a stream for RapidJSON's parser (Peek, Take, Tell). At the end of the
// file, or after a failure, Peek returns '\0'.
class ScanFileInput {
  public:
    using Ch = char;

    ScanFileInput();
    ~ScanFileInput();
    ScanFileInput(const ScanFileInput&) = delete;
    ScanFileInput& operator=(const ScanFileInput&) = delete;

    // Opens path ("-": standard input); gzip data is recognised by its signature. False
    // with Failure() saying why when it cannot be opened.
    bool Open(const std::string& path);
    // Asked at every block read; when it answers true the stream ends as if the file did.
    void SetStop(std::function<bool()> stop) { stop_ = std::move(stop); }

    Ch Peek() const { return *current_; }
    Ch Take() {
        Ch c = *current_;
        if (current_ < last_)
            ++current_;
        else
            Next();
        return c;
    }
    std::size_t Tell() const { return static_cast<std::size_t>(start_ + (current_ - data_)); }

    // Where the stream has read everything the file holds (no failure, no stop).
    bool AtEnd() const { return end_ && failure_.empty() && !stopped_; }
    bool Stopped() const { return stopped_; }
    // Why the file could not be opened or read on; empty when it could.
    const std::string& Failure() const { return failure_; }

    struct Place {
        std::uint64_t line = 1;    // from 1
        std::uint64_t column = 1;  // in bytes, from 1
    };
    // The line and column of offset, which must lie in the block being read or the one
    // before it (a parser reports errors at most a few bytes behind where it reads).
    Place Where(std::size_t offset) const;

    // RapidJSON's output-stream members, which an input stream must declare but never uses.
    Ch* PutBegin() { return nullptr; }
    void Put(Ch) {}
    void Flush() {}
    std::size_t PutEnd(Ch*) { return 0; }

  private:
    struct Block {
        std::unique_ptr<char[]> bytes;
        std::size_t size = 0;           // bytes read into it
        std::uint64_t start = 0;        // the offset of its first byte in the file
        std::uint64_t linesBefore = 0;  // line feeds before it
        std::uint64_t lineStart = 0;    // the offset just after the last of them
    };
    void Next();
    void Fill(Block& block);

    struct Source;
    std::unique_ptr<Source> source_;
    std::function<bool()> stop_;
    Block blocks_[2];
    int currentBlock_ = 0;
    const char* data_;
    const char* current_;
    const char* last_;
    std::uint64_t start_ = 0;
    bool end_ = false;
    bool stopped_ = false;
    std::string failure_;
};

// Where a scan file is written: standard output for "-", otherwise a temporary file beside
// path that replaces it only once everything is written (a path that is not a regular file,
// such as /dev/null or a pipe, is written directly). A name ending in ".gz" is written
// gzip-compressed. After the first failure nothing more is written and Finish fails.
class ScanFileOutput {
  public:
    ScanFileOutput();
    // Removes the temporary file of an output that was not finished.
    ~ScanFileOutput();
    ScanFileOutput(const ScanFileOutput&) = delete;
    ScanFileOutput& operator=(const ScanFileOutput&) = delete;

    // False with Failure() saying why when path cannot be written.
    bool Open(const std::string& path);
    void Write(std::string_view bytes) {
        buffer_.append(bytes);
        if (buffer_.size() >= kFlushAt)
            Flush();
    }
    // Writes what is left and puts the file in place; false with Failure() set when any of
    // it could not be written.
    bool Finish();
    bool Failed() const { return !failure_.empty(); }
    const std::string& Failure() const { return failure_; }

  private:
    static constexpr std::size_t kFlushAt = 256 * 1024;
    void Flush();
    void Fail(int error);

    struct Sink;
    std::unique_ptr<Sink> sink_;
    std::string buffer_;
    std::string path_;
    std::string temporary_;  // empty when written directly
    std::string failure_;
};
