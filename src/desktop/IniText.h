// The text of a private-profile (INI) file: "[section]" lines and "key=value" lines, names
// compared without regard to ASCII case, ";" starting a comment line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The value of `key` in the first section named `section` that has it: blanks and tabs
// around it removed, and one pair of matching enclosing quotes (" or ') taken off.
// Nothing when the section or key is absent. Lines that make no sense are passed over.
std::optional<std::string> FindIniValue(std::string_view text, std::string_view section,
                                        std::string_view key);

// `text` with `key` of `section` set to `value`: an existing line of the key is replaced,
// otherwise a line is added after the section's last non-blank line, or a new section is
// appended at the end. Every other line is kept byte for byte; the result ends with a
// line feed. The caller makes sure the names and the value hold no line break.
std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value);

// The integer reading of a value, like GetPrivateProfileInt: leading blanks, an optional
// sign and decimal digits up to the first other character; 0 when there are no digits.
// Values beyond the 32-bit range are clamped to it.
std::int32_t ParseProfileInt(std::string_view text);

// `text` cut to fit a buffer of `bufferSize` characters with its terminating zero, so at
// most bufferSize - 1 bytes; the cut never splits a UTF-8 multi-byte character.
std::string FitToBuffer(std::string_view text, std::size_t bufferSize);
