#include "zolta/sim/chain.h"

#include <charconv>

#include "zolta/sim/arria2gz_device.h"
#include "zolta/sim/bypass_device.h"
#include "zolta/sim/device_catalogue.h"
#include "zolta/sim/error.h"

namespace zsim {

void Chain::add(std::unique_ptr<ChainDevice> device) {
  if (!device) throw SimError("cannot add an empty device to a chain");
  flushShifts();
  device->testLogicReset();
  devices_.push_back(std::move(device));
}

std::string Chain::describe() const {
  std::string s;
  for (const auto& d : devices_) {
    if (!s.empty()) s += ',';
    s += d->name();
  }
  return s;
}

void ChainDevice::shiftDrBits(uint8_t* bits, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const uint8_t mask = static_cast<uint8_t>(1u << (i & 7));
    if (shiftDr(bits[i >> 3] & mask))
      bits[i >> 3] |= mask;
    else
      bits[i >> 3] &= static_cast<uint8_t>(~mask);
  }
}

void Chain::shiftBlock() const {
  const size_t n = pendingCount_;
  if (devices_.empty()) {
    pending_.clear();
    pendingCount_ = 0;
    tdo_ = true;
    return;
  }
  for (auto& d : devices_) d->shiftDrBits(pending_.data(), n);
  // Without a falling edge after the last collected rising edge, TDO still shows the bit that left
  // at that edge; after one, it shows the new bit 0.
  const bool lastOut = (pending_[(n - 1) >> 3] >> ((n - 1) & 7)) & 1u;
  tdo_ = fellSinceCollect_ ? devices_.back()->drOut() : lastOut;
  pending_.clear();
  pendingCount_ = 0;
}

void Chain::setTrst(bool asserted) {
  flushShifts();
  trst_ = asserted;
  if (asserted) {
    tap_.reset();
    for (auto& d : devices_) d->testLogicReset();
    tdo_ = true;
  }
}

void Chain::risingEdge(bool tms, bool tdi) {
  flushShifts();
  ++risingEdges_;
  if (trst_) return;
  switch (tap_.state()) {
    case TapState::Idle:
      for (auto& d : devices_) d->idleClock();
      break;
    case TapState::DrCapture:
      for (auto& d : devices_) d->captureDr();
      break;
    case TapState::DrShift: {
      bool bit = tdi;
      for (auto& d : devices_) bit = d->shiftDr(bit);
      break;
    }
    case TapState::IrCapture:
      for (auto& d : devices_) d->captureIr();
      break;
    case TapState::IrShift: {
      bool bit = tdi;
      for (auto& d : devices_) bit = d->shiftIr(bit);
      break;
    }
    default: break;
  }
  if (tap_.clock(tms) == TapState::Reset)
    for (auto& d : devices_) d->testLogicReset();
}

void Chain::fallingEdge() {
  if (trst_ || devices_.empty()) {
    tdo_ = true;
    return;
  }
  switch (tap_.state()) {
    case TapState::DrUpdate:
      for (auto& d : devices_) d->updateDr();
      break;
    case TapState::IrUpdate:
      for (auto& d : devices_) d->updateIr();
      break;
    default: break;
  }
  const TapState s = tap_.state();
  tdo_ = s == TapState::DrShift ? devices_.back()->drOut() : s == TapState::IrShift ? devices_.back()->irOut() : true;
}

namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool isBypassWord(std::string_view s) {
  constexpr std::string_view word = "bypass";
  if (s.size() != word.size()) return false;
  for (size_t i = 0; i < s.size(); ++i)
    if ((s[i] | 0x20) != word[i]) return false;
  return true;
}

std::unique_ptr<ChainDevice> makeDevice(std::string_view item, std::string_view spec) {
  const size_t colon = item.find(':');
  if (isBypassWord(trim(item.substr(0, colon)))) {
    if (colon == std::string_view::npos) return std::make_unique<BypassDevice>();
    const std::string_view digits = trim(item.substr(colon + 1));
    int irLength = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), irLength);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size())
      throw SimError("chain '" + std::string(spec) + "': '" + std::string(item) +
                     "' needs an instruction length after 'bypass:' (a number from " +
                     std::to_string(BypassDevice::kMinIrLength) + " to " + std::to_string(BypassDevice::kMaxIrLength) + ")");
    if (irLength < BypassDevice::kMinIrLength || irLength > BypassDevice::kMaxIrLength)
      throw SimError("chain '" + std::string(spec) + "': instruction length " + std::to_string(irLength) +
                     " of '" + std::string(item) + "' is outside " + std::to_string(BypassDevice::kMinIrLength) +
                     ".." + std::to_string(BypassDevice::kMaxIrLength));
    return std::make_unique<BypassDevice>(irLength);
  }
  if (const SimDeviceKind* kind = findSimDeviceKind(item)) return std::make_unique<Arria2GZDevice>(*kind);
  throw SimError("chain '" + std::string(spec) + "': unknown device '" + std::string(item) +
                 "' (expected an Arria II GZ device name such as EP2AGZ225FF35C3, or 'bypass')");
}

}  // namespace

std::unique_ptr<Chain> buildChain(std::string_view spec) {
  auto chain = std::make_unique<Chain>();
  if (trim(spec).empty()) throw SimError("chain description is empty (expected DEVICE[,DEVICE...])");
  size_t start = 0;
  for (;;) {
    const size_t comma = spec.find(',', start);
    const std::string_view item = trim(spec.substr(start, comma == std::string_view::npos ? spec.npos : comma - start));
    if (item.empty())
      throw SimError("chain '" + std::string(spec) + "': empty device name at position " + std::to_string(start + 1));
    chain->add(makeDevice(item, spec));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return chain;
}

std::string_view defaultChainSpec() { return "EP2AGZ225FF35C3"; }

}  // namespace zsim
