// JSON text as scan files are written: strings whose bytes from 0x80 up pass as they are, and
// whole numbers. Shared by the writer of a scan and the writer of a graft.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace json_text {

// bytes as a JSON string. Bytes from 0x80 up are written as they are, valid UTF-8 or not,
// as ncdu writes names: no escape could give the bytes of a name that is not UTF-8 back.
void AppendString(std::string& text, std::string_view bytes);
void AppendNumber(std::string& text, std::uint64_t value);

}  // namespace json_text
