// A text of any length in 16 bytes: up to 15 bytes are kept inside, longer texts on the
// heap. Item names are mostly short, and a tree keeps one per item.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

class ShortText {
  public:
    ShortText() { bytes_[kTag] = 0; }
    explicit ShortText(std::string_view text) { Set(text); }
    ~ShortText() { Free(); }
    ShortText(const ShortText&) = delete;
    ShortText& operator=(const ShortText&) = delete;

    void Assign(std::string_view text) {
        Free();
        Set(text);
    }

    std::string_view View() const {
        if (!OnHeap())
            return std::string_view(bytes_, static_cast<unsigned char>(bytes_[kTag]));
        char* heap;
        std::uint32_t length;
        std::memcpy(&heap, bytes_, sizeof heap);
        std::memcpy(&length, bytes_ + sizeof heap, sizeof length);
        return std::string_view(heap, length);
    }

  private:
    static constexpr std::size_t kTag = 15;  // inline length, or kOnHeap
    static constexpr char kOnHeap = static_cast<char>(0xFF);

    bool OnHeap() const { return bytes_[kTag] == kOnHeap; }

    void Set(std::string_view text) {
        if (text.size() <= kTag) {
            std::memcpy(bytes_, text.data(), text.size());
            bytes_[kTag] = static_cast<char>(text.size());
            return;
        }
        char* heap = new char[text.size()];
        std::memcpy(heap, text.data(), text.size());
        auto length = static_cast<std::uint32_t>(text.size());
        std::memcpy(bytes_, &heap, sizeof heap);
        std::memcpy(bytes_ + sizeof heap, &length, sizeof length);
        bytes_[kTag] = kOnHeap;
    }

    void Free() {
        if (!OnHeap())
            return;
        char* heap;
        std::memcpy(&heap, bytes_, sizeof heap);
        delete[] heap;
        bytes_[kTag] = 0;
    }

    alignas(8) char bytes_[16];
};
