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
