// A shift register of any length for the simulated devices. Bit 0 is the bit nearest TDO (it leaves
// first); a shift takes the new bit in at the top. A ring buffer makes a shift O(1) however long the
// register is (a boundary register has thousands of cells).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zsim {

class ShiftRegister {
 public:
  explicit ShiftRegister(size_t length = 1) : bits_(length ? length : 1, 0) {}

  size_t length() const { return bits_.size(); }
  // The bit that TDO shows while this register is selected.
  bool out() const { return bits_[head_] != 0; }
  // One shift: answers the bit leaving at bit 0, takes `in` at the top.
  bool shift(bool in) {
    const bool leaving = bits_[head_] != 0;
    bits_[head_] = in ? 1 : 0;
    if (++head_ == bits_.size()) head_ = 0;
    return leaving;
  }
  // `count` shifts of a one-bit register in one go: `bits` (packed, least significant first) enter
  // one by one and receive the leaving bits, which is the stream delayed by one bit.
  void shiftOneBitBlock(uint8_t* bits, size_t count) {
    if (count == 0) return;
    const size_t bytes = (count + 7) / 8;
    const uint8_t lastIn = (bits[(count - 1) >> 3] >> ((count - 1) & 7)) & 1u;
    uint8_t carry = bits_[0];
    for (size_t i = 0; i < bytes; ++i) {
      const uint8_t next = static_cast<uint8_t>(bits[i] >> 7);
      bits[i] = static_cast<uint8_t>((bits[i] << 1) | carry);
      carry = next;
    }
    bits_[0] = lastIn;
  }
  bool bit(size_t i) const { return bits_[index(i)] != 0; }
  void set(size_t i, bool v) { bits_[index(i)] = v ? 1 : 0; }
  // Parallel load (capture): bit i of `value` into bit i, the bits above 64 cleared.
  void load(uint64_t value) {
    head_ = 0;
    for (size_t i = 0; i < bits_.size(); ++i) bits_[i] = i < 64 ? static_cast<uint8_t>((value >> i) & 1u) : 0;
  }
  void clear() { load(0); }
  // Bits 0..63 as a number.
  uint64_t value() const {
    uint64_t v = 0;
    for (size_t i = 0; i < bits_.size() && i < 64; ++i)
      if (bit(i)) v |= uint64_t{1} << i;
    return v;
  }

 private:
  size_t index(size_t i) const {
    size_t k = head_ + i;
    if (k >= bits_.size()) k -= bits_.size();
    return k;
  }

  std::vector<uint8_t> bits_;
  size_t head_ = 0;
};

}  // namespace zsim
