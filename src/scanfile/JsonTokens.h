// The tokens of JSON text read from a scan file's input, one at a time: brackets, commas,
// colons, strings (decoded into bytes), numbers (as their text) and the three words.
#pragma once

#include <cstdint>
#include <string>

#include "scanfile/ScanFileStreams.h"

class JsonTokens {
  public:
    enum class Token : std::uint8_t {
        BeginArray,
        EndArray,
        BeginObject,
        EndObject,
        Comma,
        Colon,
        String,
        Number,
        True,
        False,
        Null,
        End,  // of the input: the file ended, failed or was stopped
        Bad,  // not JSON: Fault() says why
    };

    // Reads input, which must be open and outlive the tokens, from its beginning.
    explicit JsonTokens(ScanFileInput& input) : input_(input), cursor_(input.Begin()) {}

    Token Read();
    // Reads past one value that began with first, containers and all. False on a fault or
    // at the end of the input, with Fault() saying which.
    bool SkipValue(Token first);
    // The bytes of the last string, or the text of the last number. Strings longer than
    // kLongest bytes are cut there.
    const std::string& Text() const { return text_; }
    static constexpr std::size_t kLongest = (1 << 20) + 1;

    // Why the last Bad token is not JSON, or why a value could not be skipped.
    const std::string& Fault() const { return fault_; }
    // Whether the last Bad token is a zero byte in the file, which JSON text never holds.
    bool AtZeroByte() const;
    // Where the next token begins, in bytes from the start of the file.
    std::size_t Offset() const { return cursor_.Tell(); }

  private:
    bool Fail(const char* fault);
    bool AtEndOfInput() const;
    bool ReadString();
    bool ReadEscape();
    bool ReadNumber();
    bool ReadWord(const char* word);

    ScanFileInput& input_;
    ScanFileInput::Cursor cursor_;
    std::string text_;
    std::string fault_;
};
