#include "zolta/sim/arria2gz_device.h"

#include <cstdio>

namespace zsim {

Arria2GZDevice::Arria2GZDevice(const SimDeviceKind& kind)
    : kind_(&kind),
      boundary_(static_cast<size_t>(kind.boundaryLength())),
      status_(static_cast<size_t>(kind.boundaryLength())),
      boundaryUpdate_(static_cast<size_t>(kind.boundaryLength()), 0),
      engine_(kind) {
  testLogicReset();
}

std::string Arria2GZDevice::status() const {
  char buf[64];
  if (configured_) {
    std::snprintf(buf, sizeof buf, "configured, user code 0x%08X", userCode_);
    return buf;
  }
  std::string s = "not configured";
  switch (engine_.state()) {
    case ConfigurationEngine::State::Idle: break;
    case ConfigurationEngine::State::Failed: s += " (" + engine_.error() + ")"; break;
    case ConfigurationEngine::State::Loaded: s += " (bit stream loaded, start-up not finished)"; break;
    case ConfigurationEngine::State::Hunting:
    case ConfigurationEngine::State::Loading:
      s += std::string(" (configuration engine ") + ConfigurationEngine::stateName(engine_.state()) + ")";
      break;
  }
  return s;
}

void Arria2GZDevice::testLogicReset() {
  instruction_ = kIdcode;
  select();
}

void Arria2GZDevice::select() {
  switch (instruction_) {
    case kIdcode:
    case kUsercode: selected_ = &id_; break;
    case kSample:
    case kExtest: selected_ = &boundary_; break;
    case kCheckStatus: selected_ = &status_; break;
    case kProgram: selected_ = &program_; break;
    default: selected_ = &bypass_; break;
  }
}

void Arria2GZDevice::updateIr() {
  instruction_ = static_cast<uint32_t>(ir_.value()) & 0x3FFu;
  select();
  switch (instruction_) {
    case kProgram:
      configured_ = false;
      userCode_ = kUnconfiguredUserCode;
      startupClocks_ = 0;
      engine_.begin();
      break;
    case kStartup: startupClocks_ = 0; break;
    case kActiveDisengage: activeDisengaged_ = true; break;
    default: break;
  }
}

bool Arria2GZDevice::designLevel(int group) const {
  if (!designDrives(group)) return true;  // an input of the design, pulled up
  const bool counter = (tick_ >> (group % 8)) & 1u;
  const bool code = (userCode_ >> (group % 32)) & 1u;
  return counter != code;
}

bool Arria2GZDevice::pinLevel(int group) const {
  switch (instruction_) {
    case kExtest:
    case kClamp: {
      const size_t cell = 3 * static_cast<size_t>(group);
      return boundaryUpdate_[cell + 2] ? boundaryUpdate_[cell + 1] != 0 : true;
    }
    case kHighz: return true;
    default: return configured_ ? designLevel(group) : true;
  }
}

void Arria2GZDevice::captureDr() {
  switch (instruction_) {
    case kIdcode: id_.load(idcode()); break;
    case kUsercode: id_.load(userCode()); break;
    case kSample:
      if (configured_) ++tick_;
      [[fallthrough]];
    case kExtest: {
      const bool functional = instruction_ == kSample;
      for (int g = 0; g < pinCount(); ++g) {
        const size_t cell = 3 * static_cast<size_t>(g);
        boundary_.set(cell, pinLevel(g));
        if (functional) {
          const bool drives = configured_ && designDrives(g);
          boundary_.set(cell + 1, drives && designLevel(g));
          boundary_.set(cell + 2, drives);
        } else {
          boundary_.set(cell + 1, boundaryUpdate_[cell + 1] != 0);
          boundary_.set(cell + 2, boundaryUpdate_[cell + 2] != 0);
        }
      }
      break;
    }
    case kCheckStatus: {
      status_.clear();
      const size_t first = static_cast<size_t>(confDoneCell());
      for (size_t i = first; i < first + 3 && i < status_.length(); ++i) status_.set(i, configured_);
      break;
    }
    default: selected_->clear(); break;
  }
}

void Arria2GZDevice::shiftDrBits(uint8_t* bits, size_t count) {
  if (instruction_ == kProgram) engine_.feedBits(bits, count);
  if (selected_->length() == 1)
    selected_->shiftOneBitBlock(bits, count);
  else
    ChainDevice::shiftDrBits(bits, count);
}

void Arria2GZDevice::updateDr() {
  if (instruction_ == kSample || instruction_ == kExtest)
    for (size_t i = 0; i < boundaryUpdate_.size(); ++i) boundaryUpdate_[i] = boundary_.bit(i) ? 1 : 0;
}

void Arria2GZDevice::idleClock() {
  if (instruction_ != kStartup || configured_ || !engine_.loaded()) return;
  if (++startupClocks_ >= kStartupClocks) {
    configured_ = true;
    userCode_ = engine_.userCode();
    tick_ = 0;
  }
}

}  // namespace zsim
