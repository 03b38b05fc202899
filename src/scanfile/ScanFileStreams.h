// The bytes of scan files: reading one, plain or gzip-compressed, in large blocks with the
// line and column of the place the parser stopped; writing one, plain or gzip-compressed,
// so that a failed write leaves the file that was there before, or none.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "scanfile/FileReplacement.h"

class FileBytes;

// A file's bytes, read (and decompressed) in blocks by a thread of their own a few blocks
// ahead of the parser, which reads them through a Cursor. At the end of the file, or after a
// failure, the cursor reads '\0'.
class ScanFileInput {
  public:
    // blockSize: the bytes read (and decompressed) at a time; the input holds four such blocks.
    explicit ScanFileInput(std::size_t blockSize = kDefaultBlockSize);
    // Stops the reading thread and waits for it (at most the read it is in).
    ~ScanFileInput();
    ScanFileInput(const ScanFileInput&) = delete;
    ScanFileInput& operator=(const ScanFileInput&) = delete;

    // Opens path ("-": standard input) and reads its first block; gzip data is recognised
    // by its signature. False with Failure() saying why when it cannot be opened.
    bool Open(const std::string& path);
    // Asked, on the reading thread, before every block is read; when it answers true the
    // stream ends as if the file did. Set before Open.
    void SetStop(std::function<bool()> stop) { stop_ = std::move(stop); }

    // The stream RapidJSON reads (Peek, Take, Tell): a few pointers, cheap to copy, so that
    // the parser can keep a copy of it in registers while it reads a string or a number
    // (StreamTraits' copyOptimization). One cursor reads a file, from Begin on.
    struct Span {
        const char* first;
        const char* last;
    };
    struct Cursor {
        using Ch = char;
        const char* current;
        const char* last;  // the block's last byte: taking it reads the next block
        ScanFileInput* input;

        Ch Peek() const { return *current; }
        Ch Take() {
            Ch c = *current;
            if (current < last) {
                ++current;
            } else {
                Span next = input->Next();  // returned, so that no pointer to the copy escapes
                current = next.first;
                last = next.last;
            }
            return c;
        }
        std::size_t Tell() const { return input->Offset(current); }

        // Parsed "in situ", RapidJSON puts each string it decodes here, into the input's
        // buffer for one string, and hands that to its handler: no copy on the parser's
        // stack. A string longer than the buffer is cut at kStringBuffer bytes.
        char* put = nullptr;
        char* putEnd = nullptr;
        Ch* PutBegin() {
            put = input->string_.get();
            putEnd = put + kStringBuffer;
            return put;
        }
        void Put(Ch c) {
            if (put != putEnd)
                *put++ = c;
        }
        std::size_t PutEnd(Ch* begin) { return static_cast<std::size_t>(put - begin); }
        void Flush() {}
    };
    // The most bytes of one string the cursor keeps, its terminating zero included.
    static constexpr std::size_t kStringBuffer = (1 << 20) + 2;

    Cursor Begin() { return {data_, last_, this}; }
    // Bytes of the file the cursor has reached the block of.
    std::uint64_t BytesRead() const { return start_ + Current().size; }

    // These say how the file ended once the cursor has reached its end.
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

    static constexpr std::size_t kDefaultBlockSize = 256 * 1024;

  private:
    static constexpr std::uint64_t kBlocks = 4;  // the parser's two, and two read ahead

    struct Block {
        std::unique_ptr<char[]> bytes;
        std::size_t size = 0;           // bytes read into it; 0: the end of the file
        std::uint64_t start = 0;        // the offset of its first byte in the file
        std::uint64_t linesBefore = 0;  // line feeds before it
        std::uint64_t lineStart = 0;    // the offset just after the last of them
        // For the last block: why the file ended.
        bool stopped = false;
        std::string failure;
    };
    // Moves to the next block, once it is read: where it starts and its last byte.
    Span Next();
    // The reading thread: fills the blocks in turn, a few ahead of the parser.
    void Read();
    void Fill(Block& block);
    const Block& Current() const { return blocks_[(taken_ - 1) % kBlocks]; }
    std::size_t Offset(const char* at) const {
        return static_cast<std::size_t>(start_ + (at - data_));
    }

    std::unique_ptr<FileBytes> source_;
    std::size_t blockSize_;
    std::function<bool()> stop_;
    Block blocks_[kBlocks];           // block n of the file is blocks_[n % kBlocks]
    std::unique_ptr<char[]> string_;  // where the cursor puts the string being read
    // Shared with the reading thread.
    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t filled_ = 0;  // blocks read so far
    std::uint64_t taken_ = 0;   // blocks the parser has moved to; it keeps the last two
    bool quit_ = false;
    std::thread reader_;
    // The parser's own.
    const char* data_;  // the block being read
    const char* last_;
    std::uint64_t start_ = 0;
    bool end_ = false;
    bool stopped_ = false;
    std::string failure_;
};

// Where a scan file is written: standard output for "-", otherwise a temporary file beside
// path (or a link's target) that replaces it, with its owner and mode, only once everything
// is written (FileReplacement says when a path is written directly). A name ending in ".gz"
// is written gzip-compressed. Writing (and compressing) happens on a thread of its own, a buffer
// behind the caller. After the first failure nothing more is written and Finish fails.
class ScanFileOutput {
  public:
    ScanFileOutput();
    // Stops the writing thread; removes the temporary file of an output not finished.
    ~ScanFileOutput();
    ScanFileOutput(const ScanFileOutput&) = delete;
    ScanFileOutput& operator=(const ScanFileOutput&) = delete;

    // False with Failure() saying why when path cannot be written.
    bool Open(const std::string& path);
    void Write(std::string_view bytes) {
        buffer_.append(bytes);
        if (buffer_.size() >= kFlushAt)
            HandOver();
    }
    // Writes what is left and puts the file in place; false with Failure() set when any of
    // it could not be written.
    bool Finish();
    bool Failed() const;
    std::string Failure() const;

  private:
    static constexpr std::size_t kFlushAt = 256 * 1024;
    // Gives the buffer to the writing thread, once it has written the one before.
    void HandOver();
    // The writing thread.
    void WriteOut();
    void Fail(int error);
    void Stop();

    struct Sink;
    std::unique_ptr<Sink> sink_;
    FileReplacement replacement_;
    std::string buffer_;  // being filled
    // Shared with the writing thread.
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::string pending_;  // handed over, not yet written
    bool hasPending_ = false;
    bool closing_ = false;
    std::string failure_;
    std::thread writer_;
};
