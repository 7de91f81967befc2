#include "zolta/hostapp/jtag_channel.h"

#include "zolta/host_ids.h"
#include "zolta/hostapp/ids.h"
#include "zolta/hostapp/jtag_device.h"
#include "zolta/sim/error.h"

namespace zolta::hostapp {

namespace h = zabi::host;

// ---- port ------------------------------------------------------------------------------------------

namespace {
const DispatchEntry kPortEntries[] = {
    {ids::JTagPort_GetDescription, &op<&TJTagPort::GetDescription>},
};
}  // namespace

const DispatchTable& TJTagPort::table() {
  static const DispatchTable t = makeTable(&TAbstractSupportService::rootTable(), "JTagPort", kPortEntries);
  return t;
}

// ---- channel ---------------------------------------------------------------------------------------

TJTagChannel::TJTagChannel(const HostLink& link, std::unique_ptr<zsim::Cable> cable)
    : THostObject(link),
      cable_(std::move(cable)),
      description_(cable_->description()),
      engine_(*cable_) {
  pins_.owner = this;
  port_ = Ptr<TJTagPort>(new TJTagPort(link, description_));
}

TJTagChannel::~TJTagChannel() {
  for (const Ptr<TJTagDevice>& d : devices_) d->detachChannel();
  // Queued pin writes reach the cable before it closes; a cable that already failed stays silent.
  if (sendQueued()) {
    try {
      engine_.flush();
    } catch (const std::exception&) {
    }
  }
}

void TJTagChannel::setDevices(std::vector<Ptr<TJTagDevice>> devices) {
  devices_ = std::move(devices);
  std::vector<int> irLengths;
  for (const Ptr<TJTagDevice>& d : devices_) irLengths.push_back(d->facts().irLength);
  engine_.setIrLengths(std::move(irLengths));
}

void TJTagChannel::checkUsable() const {
  if (broken_) throw zabi::DispatchError("the JTAG cable failed: " + failure_);
}

zabi::DispatchError TJTagChannel::breakWith(const std::string& message) {
  if (!broken_) {
    broken_ = true;
    failure_ = message;
    queued_ = 0;
  }
  return zabi::DispatchError("the JTAG cable failed: " + failure_);
}

bool TJTagChannel::sendQueued() noexcept {
  if (broken_) return false;
  if (queued_ == 0) return true;
  try {
    cable_->writePins(pinQueue_, queued_);
    queued_ = 0;
    return true;
  } catch (const std::exception& e) {
    breakWith(e.what());
    return false;
  }
}

void TJTagChannel::toEngine() {
  if (!sendQueued()) checkUsable();
  engine_.setTck(levels_ & kTck);
  engine_.setTms(levels_ & kTms);
  engine_.setTdi(levels_ & kTdi);
}

void TJTagChannel::fromEngine() noexcept {
  levels_ = zsim::pinLevels(engine_.tckLevel(), engine_.tmsLevel(), engine_.tdiLevel());
}

size_t TJTagChannel::checkIndex(int32_t index) const {
  if (index < 0 || size_t(index) >= devices_.size())
    throw zabi::DispatchError("JTAG channel on " + description_ + ": device index " + std::to_string(index) +
                              " is outside the chain of " + std::to_string(devices_.size()) + " devices");
  return size_t(index);
}

static zsim::TapState tapState(int32_t state, const char* what) {
  if (state < 0 || state >= zsim::kTapStateCount)
    throw zabi::DispatchError(std::string("JTAG channel: ") + what + " " + std::to_string(state) +
                              " is not a TAP state (0..16)");
  return zsim::TapState(state);
}

bool TJTagChannel::Lock() { return lockDepth_++ == 0; }

void TJTagChannel::Unlock() {
  if (lockDepth_ == 0) throw zabi::DispatchError("JTAG channel on " + description_ + ": unlocked without a lock");
  --lockDepth_;
}

DispPtr TJTagChannel::GetJTagDevice(int32_t index) {
  if (index < 0 || size_t(index) >= devices_.size()) return {};
  return devices_[size_t(index)];
}

void TJTagChannel::PrepareChain() {
  withEngine([](zsim::ScanEngine& e) {
    e.gotoState(zsim::TapState::Reset);
    e.gotoState(zsim::TapState::Idle);
  });
}

int32_t TJTagChannel::ScanData(int32_t value, int32_t bits, int32_t index) {
  const size_t i = checkIndex(index);
  if (bits < 1 || bits > 32)
    throw zabi::DispatchError("JTAG channel: a data scan of " + std::to_string(bits) + " bits (1..32 allowed)");
  return withEngine([&](zsim::ScanEngine& e) { return int32_t(uint32_t(e.scanData(uint32_t(value), bits, i))); });
}

void TJTagChannel::LoadInstruction(int32_t code, int32_t index) {
  const size_t i = checkIndex(index);
  withEngine([&](zsim::ScanEngine& e) { e.loadInstruction(uint32_t(code), i); });
}

void TJTagChannel::MoveTapState(int32_t from, int32_t to) {
  const zsim::TapState a = tapState(from, "state"), b = tapState(to, "state");
  withEngine([&](zsim::ScanEngine& e) { e.moveState(a, b); });
}

void TJTagChannel::GotoTapState(int32_t state) {
  const zsim::TapState s = tapState(state, "state");
  withEngine([&](zsim::ScanEngine& e) { e.gotoState(s); });
}

void TJTagChannel::ClockTms(int32_t level) {
  // Two queued pin writes (TCK low with TMS, then high; TDI kept), like the pin-level interface, so a
  // run of clocks costs no cable round trip; the engine's tracked state follows the edge.
  checkUsable();
  setLevel(kTms, level);
  setLevel(kTck, 0);
  queueLevels();
  setLevel(kTck, 1);
  queueLevels();
  checkUsable();
  const zsim::TapState next = zsim::tapNext(engine_.state(), level != 0);
  if (next == engine_.state()) return;
  if (next == zsim::TapState::Reset)  // the engine confirms Reset with five TMS-high clocks, after the queue
    withEngine([&](zsim::ScanEngine& e) { e.moveState(next, next); });
  else
    engine_.moveState(next, next);  // no walk: it only sets the tracked state
}

std::vector<bool> TJTagChannel::scanDataBits(const std::vector<bool>& in, size_t index) {
  checkIndex(int32_t(index));
  return withEngine([&](zsim::ScanEngine& e) {
    // Bypass bits of the devices between this one and TDO leave first; pad so that every bit of `in`
    // reaches the device and every captured bit reaches TDO.
    const size_t after = devices_.size() - 1 - index;
    std::vector<bool> bits(after, false);
    bits.insert(bits.end(), in.begin(), in.end());
    bits.resize(bits.size() + index, false);
    e.gotoState(zsim::TapState::Idle);
    const std::vector<bool> out = e.scanDr(bits, zsim::TapState::Idle);
    return std::vector<bool>(out.begin() + std::ptrdiff_t(after), out.begin() + std::ptrdiff_t(after + in.size()));
  });
}

void* TJTagChannel::interfaceFor(const zabi::Guid& iid) {
  if (iid == zabi::IID_IJTagPinAccess) return static_cast<zabi::IJTagPinAccess*>(&pins_);
  return THostObject::interfaceFor(iid);
}

// ---- pins ------------------------------------------------------------------------------------------

zabi::HResult TJTagChannel::Pins::ReadPins() {
  TJTagChannel& c = *owner;
  if (!c.sendQueued()) return kCableFailed;
  try {
    c.engine_.readPins();
    return zabi::kOk;
  } catch (const std::exception& e) {
    c.breakWith(e.what());
    return kCableFailed;
  }
}

zabi::HResult TJTagChannel::Pins::SetTRST(int32_t level) {
  TJTagChannel& c = *owner;
  if (!c.sendQueued()) return kCableFailed;
  try {
    c.engine_.flush();
    c.trst_ = level != 0;
    c.cable_->setResets(c.trst_, c.srst_);
    return zabi::kOk;
  } catch (const std::exception& e) {
    c.breakWith(e.what());
    return kCableFailed;
  }
}

zabi::HResult TJTagChannel::Pins::SetSRST(int32_t level) {
  TJTagChannel& c = *owner;
  if (!c.sendQueued()) return kCableFailed;
  try {
    c.engine_.flush();
    c.srst_ = level != 0;
    c.cable_->setResets(c.trst_, c.srst_);
    return zabi::kOk;
  } catch (const std::exception& e) {
    c.breakWith(e.what());
    return kCableFailed;
  }
}

zabi::HResult TJTagChannel::Pins::SetLED(int32_t level) {
  owner->led_ = level != 0;  // the cables here have no lamp to drive
  return zabi::kOk;
}

namespace {
const DispatchEntry kChannelEntries[] = {
    {h::JTagChannel_Lock, &op<&TJTagChannel::Lock>},
    {h::JTagChannel_Unlock, &op<&TJTagChannel::Unlock>},
    {h::JTagChannel_GetChainLength, &op<&TJTagChannel::GetChainLength>},
    {h::JTagChannel_GetJTagDevice, &op<&TJTagChannel::GetJTagDevice>},
    {h::JTagChannel_PrepareChain, &op<&TJTagChannel::PrepareChain>},
    {h::JTagChannel_ScanData, &op<&TJTagChannel::ScanData>},
    {h::JTagChannel_LoadInstruction, &op<&TJTagChannel::LoadInstruction>},
    {h::JTagChannel_MoveTapState, &op<&TJTagChannel::MoveTapState>},
    {h::JTagChannel_GotoTapState, &op<&TJTagChannel::GotoTapState>},
    {h::JTagChannel_ClockTms, &op<&TJTagChannel::ClockTms>},
    {h::JTagChannel_GetPort, &op<&TJTagChannel::GetPort>},
};
}  // namespace

const DispatchTable& TJTagChannel::table() {
  static const DispatchTable t = makeTable(&TAbstractSupportService::rootTable(), "JTagChannel", kChannelEntries);
  return t;
}

}  // namespace zolta::hostapp
