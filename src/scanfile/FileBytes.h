// The bytes a scan file holds: a plain file as it is, a gzip file decompressed member after
// member and checked as `gzip -t` checks it, so that a cut-off or damaged file, or one with
// junk after its compressed data, is a failure rather than a file read in part.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <memory>
#include <string>

class FileBytes {
  public:
    // Reads the open descriptor fd, which it closes, inputSize bytes of the file at a time.
    explicit FileBytes(int fd, std::size_t inputSize = 256 * 1024);
    ~FileBytes();
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    // Fills buffer with up to size bytes (fewer only at the end); how many, 0 at the end,
    // or -1 once the file failed, with Failure() saying why.
    long Read(char* buffer, std::size_t size);
    const std::string& Failure() const { return failure_; }

  private:
    enum class State { Start, Plain, InMember, AfterMember, Padding, End, Failed };

    // Reads more of the file after the bytes not yet used; false at its end or on a failure.
    bool Refill();
    // Decides between gzip and plain from the first two bytes.
    void Begin();
    long ReadPlain(char* buffer, std::size_t size);
    long ReadGzip(char* buffer, std::size_t size);
    // One step of the gzip stream into stream_'s output; false when the stream has ended.
    bool Inflate();
    // After a member: another member, zero bytes up to the end (as gzip allows), or junk.
    void NextMember();
    long Fail(std::string why);

    int fd_;
    std::size_t inputSize_;
    State state_ = State::Start;
    bool eof_ = false;
    std::unique_ptr<unsigned char[]> input_;
    z_stream stream_{};  // next_in and avail_in: the input not yet used, in either format
    gz_header header_{};
    bool inflating_ = false;  // stream_ was set up for inflating
    bool firstMember_ = true;
    std::string failure_;
};
