#include "zolta/sim/configuration_engine.h"

namespace zsim {

namespace {

constexpr char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The file's device name fits when it starts with the device's part number up to the package.
bool fits(const std::string& fileName, const std::string& prefix) {
  if (fileName.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (upper(fileName[i]) != upper(prefix[i])) return false;
  return true;
}

}  // namespace

void ConfigurationEngine::begin() {
  state_ = State::Hunting;
  parser_ = RbfStreamParser();
  error_.clear();
  window_ = 0;
  bitsHunted_ = 0;
  byte_ = 0;
  bitCount_ = 0;
  deviceChecked_ = false;
}

void ConfigurationEngine::synced() {
  state_ = State::Loading;
  for (uint8_t b : kRbfMagic) parser_.feed(b);
  byte_ = 0;
  bitCount_ = 0;
}

void ConfigurationEngine::feedByte() {
  const uint8_t b = byte_;
  byte_ = 0;
  bitCount_ = 0;
  const RbfStreamParser::Status s = parser_.feed(b);
  if (s == RbfStreamParser::Status::Failed) {
    state_ = State::Failed;
    error_ = "bit stream rejected: " + parser_.error();
    return;
  }
  if (!deviceChecked_ && s != RbfStreamParser::Status::Header) {
    deviceChecked_ = true;
    const std::string prefix = kind_->partPrefix();
    if (!fits(parser_.header().deviceName, prefix)) {
      state_ = State::Failed;
      error_ = "bit stream rejected: it is for " + parser_.header().deviceName + ", this device is " + kind_->name;
      return;
    }
  }
  if (s == RbfStreamParser::Status::Done) state_ = State::Loaded;
}

void ConfigurationEngine::feedBytes(const uint8_t* data, size_t size) {
  size_t i = 0;
  // Byte by byte until the header is through and the device name checked, then in bulk.
  while (i < size && state_ == State::Loading && !deviceChecked_) {
    byte_ = data[i++];
    bitCount_ = 8;
    feedByte();
  }
  if (i < size && state_ == State::Loading) {
    parser_.feed(data + i, size - i);
    if (parser_.status() == RbfStreamParser::Status::Failed) {
      state_ = State::Failed;
      error_ = "bit stream rejected: " + parser_.error();
    } else if (parser_.status() == RbfStreamParser::Status::Done) {
      state_ = State::Loaded;
    }
  }
}

void ConfigurationEngine::feedBits(const uint8_t* bits, size_t count) {
  auto bitAt = [bits](size_t i) { return ((bits[i >> 3] >> (i & 7)) & 1u) != 0; };
  size_t i = 0;
  while (i < count && (state_ == State::Hunting || (state_ == State::Loading && bitCount_ != 0))) feedBit(bitAt(i++));
  if (state_ != State::Loading) return;
  // Whole bytes, at whatever bit offset the file started.
  uint8_t block[4096];
  const unsigned shift = i & 7;
  while (count - i >= 8 && state_ == State::Loading) {
    size_t n = 0;
    while (n < sizeof block && count - i >= 8) {
      const size_t at = i >> 3;
      unsigned v = bits[at] >> shift;
      if (shift) v |= static_cast<unsigned>(bits[at + 1]) << (8 - shift);
      block[n++] = static_cast<uint8_t>(v);
      i += 8;
    }
    feedBytes(block, n);
  }
  while (i < count && state_ == State::Loading) feedBit(bitAt(i++));
}

const char* ConfigurationEngine::stateName(State s) {
  switch (s) {
    case State::Idle: return "idle";
    case State::Hunting: return "waiting for a bit stream";
    case State::Loading: return "loading";
    case State::Loaded: return "loaded";
    case State::Failed: return "failed";
  }
  return "?";
}

}  // namespace zsim
