// CRC-32 as used by Ethernet, zip and PNG (reflected polynomial 0xEDB88320, initial value and final
// XOR 0xFFFFFFFF), fed incrementally.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace zsim {

class Crc32 {
 public:
  void update(uint8_t byte) { state_ = table()[(state_ ^ byte) & 0xFFu] ^ (state_ >> 8); }
  void update(const uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i) update(data[i]);
  }
  uint32_t value() const { return state_ ^ 0xFFFFFFFFu; }
  static uint32_t of(const uint8_t* data, size_t size) {
    Crc32 c;
    c.update(data, size);
    return c.value();
  }

 private:
  static const std::array<uint32_t, 256>& table() {
    static constexpr std::array<uint32_t, 256> t = [] {
      std::array<uint32_t, 256> r{};
      for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1u) ? (0xEDB88320u ^ (c >> 1)) : (c >> 1);
        r[i] = c;
      }
      return r;
    }();
    return t;
  }

  uint32_t state_ = 0xFFFFFFFFu;
};

}  // namespace zsim
