// Case folding for names that compare without regard to ASCII case (registry keys, profile
// sections and keys).
#pragma once

#include <string>
#include <string_view>

inline char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

inline std::string FoldAsciiCase(std::string_view text) {
    std::string folded(text);
    for (char& c : folded)
        c = FoldAscii(c);
    return folded;
}

inline bool SameAsciiName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    }
    return true;
}
