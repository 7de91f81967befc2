// The configuration engine of the simulated Arria II GZ: it takes the bits shifted in while PROGRAM is
// the instruction, finds the start of a raw bit file in them, checks it as it streams by (header,
// device, length, checksums) and remembers the outcome. It keeps only the header and running
// checksums, never the stream itself.
//
// The stream may carry anything before the file (the host gives a few hundred TCK cycles with TDI
// high, and bypassed devices delay the data) and after it (the host's trailing clocks): the engine
// looks for the "ZRBF" sync word at any bit position, bits arriving least significant first as the
// host sends each byte of the file, and ignores everything after the file's checksum.
#pragma once

#include <cstdint>
#include <string>

#include "zolta/sim/device_catalogue.h"
#include "zolta/sim/rbf.h"

namespace zsim {

class ConfigurationEngine {
 public:
  enum class State {
    Idle,     // no PROGRAM since power-up
    Hunting,  // PROGRAM given, looking for the sync word
    Loading,  // inside a bit file
    Loaded,   // a complete bit file for this device arrived intact
    Failed,   // the bit file is not for this device or is corrupt; error() says why
  };

  explicit ConfigurationEngine(const SimDeviceKind& kind) : kind_(&kind) {}

  // PROGRAM: forget any earlier stream and start looking for a new one.
  void begin();
  // One bit shifted in while PROGRAM is the instruction.
  void feedBit(bool bit) {
    if (state_ == State::Loading) {
      byte_ |= static_cast<uint8_t>(bit) << bitCount_;
      if (++bitCount_ == 8) feedByte();
    } else if (state_ == State::Hunting) {
      window_ = (window_ >> 1) | (static_cast<uint32_t>(bit) << 31);
      ++bitsHunted_;
      if (bitsHunted_ >= 32 && window_ == kSyncWord) synced();
    }
  }

  // `count` bits at once, packed least significant first (bit i of the stream is bit i % 8 of
  // bits[i / 8]).
  void feedBits(const uint8_t* bits, size_t count);

  State state() const { return state_; }
  bool loaded() const { return state_ == State::Loaded; }
  const std::string& error() const { return error_; }
  // From the loaded file.
  uint32_t userCode() const { return parser_.header().userCode; }
  const std::string& fileDeviceName() const { return parser_.header().deviceName; }
  uint32_t payloadSize() const { return parser_.header().payloadSize; }
  // Bits looked at before the sync word was found.
  uint64_t bitsBeforeSync() const { return bitsHunted_ >= 32 ? bitsHunted_ - 32 : bitsHunted_; }

  static const char* stateName(State s);

 private:
  // "ZRBF" as the 32 bits arrive: 'Z' first, least significant bit first.
  static constexpr uint32_t kSyncWord = uint32_t{'Z'} | (uint32_t{'R'} << 8) | (uint32_t{'B'} << 16) |
                                        (uint32_t{'F'} << 24);

  void synced();
  void feedByte();
  void feedBytes(const uint8_t* data, size_t size);

  const SimDeviceKind* kind_;
  State state_ = State::Idle;
  RbfStreamParser parser_;
  std::string error_;
  uint32_t window_ = 0;
  uint64_t bitsHunted_ = 0;
  uint8_t byte_ = 0;
  int bitCount_ = 0;
  bool deviceChecked_ = false;
};

}  // namespace zsim
