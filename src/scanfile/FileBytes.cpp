// Plain bytes straight from the file; gzip members through zlib's inflate, which checks each
// member's length and CRC in its trailer, with the checks between members done here.
#include "scanfile/FileBytes.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr int kGzipOnly = 15 + 16;  // the largest window, gzip header and trailer

constexpr const char* kCutOff = "the compressed data ends too early";
constexpr const char* kJunk = "bytes that are not gzip data follow the compressed data";

}  // namespace

FileBytes::FileBytes(int fd, std::size_t inputSize)
    : fd_(fd), inputSize_(inputSize), input_(std::make_unique<unsigned char[]>(inputSize)) {
    stream_.next_in = input_.get();
}

FileBytes::~FileBytes() {
    if (inflating_)
        inflateEnd(&stream_);
    ::close(fd_);
}

long FileBytes::Fail(std::string why) {
    if (state_ != State::Failed)
        failure_ = std::move(why);
    state_ = State::Failed;
    return -1;
}

bool FileBytes::Refill() {
    if (eof_ || state_ == State::Failed)
        return false;
    if (stream_.avail_in > 0 && stream_.next_in != input_.get())
        std::memmove(input_.get(), stream_.next_in, stream_.avail_in);
    stream_.next_in = input_.get();
    for (;;) {
        ssize_t got = ::read(fd_, input_.get() + stream_.avail_in, inputSize_ - stream_.avail_in);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            Fail(std::strerror(errno));
            return false;
        }
        if (got == 0) {
            eof_ = true;
            return false;
        }
        stream_.avail_in += static_cast<uInt>(got);
        return true;
    }
}

void FileBytes::Begin() {
    while (stream_.avail_in < 2 && Refill()) {
    }
    if (state_ == State::Failed)
        return;
    if (stream_.avail_in < 2 || stream_.next_in[0] != 0x1f || stream_.next_in[1] != 0x8b) {
        state_ = State::Plain;
        return;
    }
    if (inflateInit2(&stream_, kGzipOnly) != Z_OK) {
        Fail(std::strerror(ENOMEM));
        return;
    }
    inflating_ = true;
    inflateGetHeader(&stream_, &header_);
    state_ = State::InMember;
}

long FileBytes::Read(char* buffer, std::size_t size) {
    if (state_ == State::Start)
        Begin();
    if (state_ == State::Failed)
        return -1;
    return state_ == State::Plain ? ReadPlain(buffer, size) : ReadGzip(buffer, size);
}

long FileBytes::ReadPlain(char* buffer, std::size_t size) {
    // The bytes read to tell the format come first.
    std::size_t done = std::min<std::size_t>(stream_.avail_in, size);
    std::memcpy(buffer, stream_.next_in, done);
    stream_.next_in += done;
    stream_.avail_in -= static_cast<uInt>(done);
    while (done < size && !eof_) {
        ssize_t got = ::read(fd_, buffer + done, size - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return Fail(std::strerror(errno));
        if (got == 0)
            eof_ = true;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<long>(done);
}

long FileBytes::ReadGzip(char* buffer, std::size_t size) {
    stream_.next_out = reinterpret_cast<Bytef*>(buffer);
    stream_.avail_out = static_cast<uInt>(size);
    while (stream_.avail_out > 0 && Inflate()) {
    }
    const auto done = static_cast<long>(size - stream_.avail_out);
    // What was decompressed before a failure is handed over first, so that the reader's
    // place of the failure is where the good data ends.
    return state_ == State::Failed && done == 0 ? -1 : done;
}

bool FileBytes::Inflate() {
    switch (state_) {
        case State::InMember: {
            if (stream_.avail_in == 0 && !Refill()) {
                Fail(kCutOff);  // unless reading failed first
                return false;
            }
            int code = inflate(&stream_, Z_NO_FLUSH);
            if (code == Z_STREAM_END) {
                firstMember_ = false;
                state_ = State::AfterMember;
                return true;
            }
            if (code == Z_OK || code == Z_BUF_ERROR)  // Z_BUF_ERROR: it needs more input
                return true;
            if (code == Z_MEM_ERROR)
                Fail(std::strerror(ENOMEM));
            else if (!firstMember_ && header_.done == 0)
                Fail(kJunk);  // not the header of another member
            else
                Fail(std::string("the compressed data is damaged (") +
                     (stream_.msg ? stream_.msg : "no reason given") + ")");
            return false;
        }
        case State::AfterMember:
            NextMember();
            return state_ == State::InMember || state_ == State::Padding;
        case State::Padding:
            for (;;) {
                const Bytef* end = stream_.next_in + stream_.avail_in;
                if (std::find_if(static_cast<const Bytef*>(stream_.next_in), end,
                                 [](Bytef c) { return c != 0; }) != end) {
                    Fail(kJunk);
                    return false;
                }
                stream_.avail_in = 0;
                if (!Refill()) {
                    if (state_ != State::Failed)
                        state_ = State::End;
                    return false;
                }
            }
        default:
            return false;
    }
}

void FileBytes::NextMember() {
    if (stream_.avail_in == 0 && !Refill()) {
        if (state_ != State::Failed)
            state_ = State::End;
        return;
    }
    // As gzip, zero bytes after the last member are padding; anything else must be a member.
    if (stream_.next_in[0] == 0) {
        state_ = State::Padding;
        return;
    }
    if (stream_.next_in[0] != 0x1f) {
        Fail(kJunk);
        return;
    }
    inflateReset(&stream_);
    inflateGetHeader(&stream_, &header_);
    state_ = State::InMember;
}
