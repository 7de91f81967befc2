#include "zolta/sim/scan_engine.h"


#include "zolta/sim/error.h"

namespace zsim {

namespace {

std::vector<uint8_t> pack(const std::vector<bool>& bits) {
  std::vector<uint8_t> bytes((bits.size() + 7) / 8, 0);
  for (size_t i = 0; i < bits.size(); ++i)
    if (bits[i]) bytes[i >> 3] |= static_cast<uint8_t>(1u << (i & 7));
  return bytes;
}

}  // namespace

void ScanEngine::flush() {
  sendPending();
  cable_.flush();
}

void ScanEngine::clockTms(bool tms) {
  writePins(false, tms, tdi_);
  writePins(true, tms, tdi_);
  state_ = tapNext(state_, tms);
}

void ScanEngine::gotoState(TapState to) {
  sendPending();
  const std::vector<bool> path = tmsPath(state_, to);
  if (path.empty()) return;
  const std::vector<uint8_t> tms = pack(path);
  std::vector<uint8_t> tdi(tms.size(), tdi_ ? 0xFF : 0x00);
  cable_.shift(tms.data(), tdi.data(), nullptr, path.size());
  tck_ = true;
  tms_ = path.back();
  state_ = to;
}

void ScanEngine::moveState(TapState from, TapState to) {
  state_ = from;
  gotoState(to);
}

void ScanEngine::idleClocks(size_t cycles) {
  gotoState(TapState::Idle);
  sendPending();
  if (cycles == 0) return;
  std::vector<uint8_t> tdi((cycles + 7) / 8, tdi_ ? 0xFF : 0x00);
  cable_.shift(nullptr, tdi.data(), nullptr, cycles);
  tck_ = true;
  tms_ = false;
}

std::vector<bool> ScanEngine::scanIr(const std::vector<bool>& in, TapState end) { return scan(true, in, end); }
std::vector<bool> ScanEngine::scanDr(const std::vector<bool>& in, TapState end) { return scan(false, in, end); }

std::vector<bool> ScanEngine::scan(bool ir, const std::vector<bool>& in, TapState end) {
  gotoState(ir ? TapState::IrShift : TapState::DrShift);
  sendPending();
  std::vector<bool> out(in.size());
  if (!in.empty()) {
    std::vector<bool> tmsBits(in.size(), false);
    tmsBits.back() = true;  // the last bit leaves Shift-xR for Exit1-xR
    const std::vector<uint8_t> tms = pack(tmsBits);
    const std::vector<uint8_t> tdi = pack(in);
    std::vector<uint8_t> tdo(tdi.size(), 0);
    cable_.shift(tms.data(), tdi.data(), tdo.data(), in.size());
    for (size_t i = 0; i < in.size(); ++i) out[i] = (tdo[i >> 3] >> (i & 7)) & 1u;
    tck_ = true;
    tms_ = true;
    tdi_ = in.back();
    state_ = ir ? TapState::IrExit1 : TapState::DrExit1;
  }
  gotoState(end);
  return out;
}

size_t ScanEngine::checkIndex(size_t deviceIndex) const {
  if (deviceIndex >= irLengths_.size())
    throw SimError("device index " + std::to_string(deviceIndex) + " is outside the chain of " +
                   std::to_string(irLengths_.size()) + " devices");
  return deviceIndex;
}

void ScanEngine::loadInstruction(uint32_t code, size_t deviceIndex) {
  checkIndex(deviceIndex);
  // The first bit shifted ends up nearest TDO: devices from the TDO end (last index) to index 0,
  // each least significant bit first.
  std::vector<bool> bits;
  for (size_t d = irLengths_.size(); d-- > 0;)
    for (int b = 0; b < irLengths_[d]; ++b) bits.push_back(d == deviceIndex ? ((code >> b) & 1u) != 0 : true);
  scanIr(bits, TapState::Idle);
}

uint64_t ScanEngine::scanData(uint64_t value, int bits, size_t deviceIndex) {
  checkIndex(deviceIndex);
  if (bits < 1 || bits > 64) throw SimError("data scan of " + std::to_string(bits) + " bits (1..64 allowed)");
  const size_t after = irLengths_.size() - 1 - deviceIndex;  // bypass bits between the device and TDO
  std::vector<bool> in(after, false);
  for (int b = 0; b < bits; ++b) in.push_back((value >> b) & 1u);
  in.resize(in.size() + deviceIndex, false);
  const std::vector<bool> out = scanDr(in, TapState::Idle);
  uint64_t result = 0;
  for (int b = 0; b < bits; ++b)
    if (out[after + static_cast<size_t>(b)]) result |= uint64_t{1} << b;
  return result;
}

std::vector<uint32_t> ScanEngine::readIdcodes(size_t maxDevices) {
  gotoState(TapState::Reset);
  // Ones shifted in behind the chain's contents mark its end: no IDCODE is all ones.
  const std::vector<bool> out = scanDr(std::vector<bool>(32 * (maxDevices + 1), true), TapState::Idle);
  std::vector<uint32_t> tdoFirst;
  size_t i = 0;
  while (tdoFirst.size() < maxDevices && i < out.size()) {
    if (!out[i]) {  // a BYPASS register
      tdoFirst.push_back(0);
      ++i;
      continue;
    }
    if (i + 32 > out.size()) break;
    uint32_t id = 0;
    for (int b = 0; b < 32; ++b)
      if (out[i + static_cast<size_t>(b)]) id |= 1u << b;
    if (id == 0xFFFFFFFFu) break;
    tdoFirst.push_back(id);
    i += 32;
  }
  return {tdoFirst.rbegin(), tdoFirst.rend()};
}

size_t ScanEngine::measureIrChainLength(size_t maxBits) {
  gotoState(TapState::IrShift);
  sendPending();
  std::vector<bool> zeros(maxBits, false);
  std::vector<bool> ones(maxBits, true);
  std::vector<uint8_t> z = pack(zeros), o = pack(ones), tdo(o.size(), 0);
  cable_.shift(nullptr, z.data(), nullptr, maxBits);
  cable_.shift(nullptr, o.data(), tdo.data(), maxBits);
  tdi_ = true;
  size_t length = 0;
  while (length < maxBits && !((tdo[length >> 3] >> (length & 7)) & 1u)) ++length;
  // Leave Shift-IR with one more one, so every device ends with BYPASS.
  clockTms(true);
  gotoState(TapState::Idle);
  if (length == maxBits) throw SimError("no instruction register found within " + std::to_string(maxBits) + " bits");
  return length;
}

}  // namespace zsim
