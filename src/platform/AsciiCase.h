// Case folding for names that compare without regard to ASCII case (registry keys, profile
// sections and keys).
#pragma once

#include <string>
#include <string_view>

inline std::string FoldAsciiCase(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    }
    return folded;
}
