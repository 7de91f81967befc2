// The host's JTAG channel: one cable, the chain behind it, and the two faces a plug-in drives it through.
//
// Dispatch operations (zabi::host::JTagChannel_*, all arguments 32-bit integers):
//   Lock / Unlock        exclusive use for one routine; Lock answers true when the channel was free.
//                        Unlock without a Lock is refused. Neither touches the cable, so a broken
//                        cable never leaves the channel locked.
//   GetChainLength       the number of devices found on the chain.
//   PrepareChain         flushes the pins and walks the TAP through Test-Logic-Reset to Run-Test/Idle,
//                        so a routine starts from a known state whatever pin-level walks left behind.
//   ScanData(value, bits, index)     1..32 bits through the data register of the device at index, the
//                        others in BYPASS; answers the captured bits. Ends in Run-Test/Idle.
//   LoadInstruction(code, index)     code into the device at index, BYPASS into the others.
//   MoveTapState(from, to), GotoTapState(state)   TAP walks (states 0..16, see zsim::TapState).
//   ClockTms(level)      one TCK cycle with TMS at level.
//   GetJTagDevice(index) the host's JTAG device at that chain index (none outside the chain).
//   GetPort              the port the channel drives (its cable).
// Chain indices count from TDI: index 0 is the device whose data reaches TDO last.
//
// Pin-level interface (zabi::IJTagPinAccess, by QueryInterface): kept levels; WritePins queues them and
// the queue reaches the cable in blocks of 64 Ki writes (before any other use of the cable, on ReadPins,
// and when full), so a bit costs a few calls and no allocation. ClockTms queues its two writes the same
// way. The levels are shared with the dispatch operations: after a TAP walk they are those it left.
//
// Failures: an index outside the chain, a bad state or bit count is refused with an error naming the
// value. A cable failure (the remote_bitbang server went away, a timeout) breaks the channel: the
// operation fails, failure() keeps the cable's message, and every later cable access fails at once
// with it (pin operations answer kFail). The channel owns its cable; the cable closes when the last
// reference to the channel goes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zolta/hostapp/host_object.h"
#include "zolta/jtag_pin_access.h"
#include "zolta/sim/cable.h"
#include "zolta/sim/error.h"
#include "zolta/sim/scan_engine.h"

namespace zolta::hostapp {

class TJTagDevice;

// The port a channel drives: its cable, for display and for matching channels to ports.
class TJTagPort : public THostObject {
 public:
  TJTagPort(const HostLink& link, std::string description) : THostObject(link), description_(std::move(description)) {}
  std::string GetDescription() { return description_; }

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  std::string description_;
};

class TJTagChannel : public THostObject {
 public:
  // The status pin operations answer once the cable has failed.
  static constexpr zabi::HResult kCableFailed = static_cast<zabi::HResult>(0x80004005);

  TJTagChannel(const HostLink& link, std::unique_ptr<zsim::Cable> cable);
  ~TJTagChannel() override;

  // ---- dispatch operations ----
  bool Lock();
  void Unlock();
  DispPtr GetJTagDevice(int32_t index);
  DispPtr GetPort() { return port_; }
  int32_t GetChainLength() { return int32_t(devices_.size()); }
  void PrepareChain();
  int32_t ScanData(int32_t value, int32_t bits, int32_t index);
  void LoadInstruction(int32_t code, int32_t index);
  void MoveTapState(int32_t from, int32_t to);
  void GotoTapState(int32_t state);
  void ClockTms(int32_t level);

  // ---- host side ----
  zsim::Cable& cable() const { return *cable_; }
  std::string description() const { return description_; }
  int lockDepth() const { return lockDepth_; }
  bool broken() const { return broken_; }
  // The cable's failure message ("remote_bitbang server 127.0.0.1:3335: the server closed the
  // connection"), empty while the cable works. Operations refused afterwards say "the JTAG cable
  // failed: " and this message.
  const std::string& failure() const { return failure_; }

  // The chain's devices, by chain index; set once the chain has been scanned. The channel holds them;
  // each device points back to the channel until the channel goes.
  void setDevices(std::vector<Ptr<TJTagDevice>> devices);
  const std::vector<Ptr<TJTagDevice>>& devices() const { return devices_; }

  // Runs a host-side action on the scan engine (chain scan, sampling): queued pin writes reach the cable
  // first and the kept pin levels pass to the engine and back. A cable failure breaks the channel and
  // leaves as a zabi::DispatchError with the cable's message; a broken channel refuses at once.
  template <class F>
  auto withEngine(F&& action) -> decltype(action(std::declval<zsim::ScanEngine&>())) {
    checkUsable();
    try {
      toEngine();
      struct Back {
        TJTagChannel& c;
        ~Back() { c.fromEngine(); }
      } back{*this};
      return action(engine_);
    } catch (const zsim::CableError& e) {
      throw breakWith(e.what());
    } catch (const zsim::SimError& e) {
      throw zabi::DispatchError("JTAG channel on " + description_ + ": " + e.what());
    }
  }

  // Shifts `in` (bit 0 first) through the data register of the device at `index` with the others in
  // BYPASS, from Run-Test/Idle back to Run-Test/Idle; answers as many captured bits, bit 0 first.
  std::vector<bool> scanDataBits(const std::vector<bool>& in, size_t index);

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }

 protected:
  void* interfaceFor(const zabi::Guid& iid) override;

 private:
  void checkUsable() const;
  zabi::DispatchError breakWith(const std::string& message);
  size_t checkIndex(int32_t index) const;

  // Pin writes queue here and reach the cable in blocks of kPinBlock; the kept levels are packed as
  // zsim::pinLevels packs them (TCK 4, TMS 2, TDI 1). The scan engine holds the levels while it runs a
  // dispatch operation (toEngine / fromEngine), the channel in between.
  static constexpr size_t kPinBlock = size_t(1) << 16;
  static constexpr uint8_t kTck = 4, kTms = 2, kTdi = 1;
  void setLevel(uint8_t pin, int32_t level) { levels_ = uint8_t(level ? (levels_ | pin) : (levels_ & ~pin)); }
  void queueLevels() {
    pinQueue_[queued_++] = levels_;
    if (queued_ == kPinBlock) sendQueued();
  }
  // Sends the queued pin writes to the cable (breaking the channel when it fails); false when broken.
  bool sendQueued() noexcept;
  void toEngine();
  void fromEngine() noexcept;

  // The pin-level face; its IInterface is the channel's.
  struct Pins final : zabi::IJTagPinAccess {
    TJTagChannel* owner = nullptr;
    zabi::HResult QueryInterface(const zabi::Guid& iid, void** object) override { return owner->QueryInterface(iid, object); }
    int32_t AddRef() override { return owner->AddRef(); }
    int32_t Release() override { return owner->Release(); }
    zabi::HResult SetTRST(int32_t level) override;
    zabi::HResult SetSRST(int32_t level) override;
    // Setting a level only keeps it; the cable sees it on WritePins.
    zabi::HResult SetTCK(int32_t level) override {
      owner->setLevel(kTck, level);
      return zabi::kOk;
    }
    zabi::HResult GetTCK(int16_t* level) override { return get(level, owner->levels_ & kTck); }
    zabi::HResult SetTDI(int32_t level) override {
      owner->setLevel(kTdi, level);
      return zabi::kOk;
    }
    zabi::HResult SetTMS(int32_t level) override {
      owner->setLevel(kTms, level);
      return zabi::kOk;
    }
    zabi::HResult GetTDI(int16_t* level) override { return get(level, owner->levels_ & kTdi); }
    zabi::HResult GetTDO(int16_t* level) override { return get(level, owner->engine_.tdo()); }
    zabi::HResult GetTMS(int16_t* level) override { return get(level, owner->levels_ & kTms); }
    zabi::HResult SetLED(int32_t level) override;
    zabi::HResult WritePins() override {
      TJTagChannel& c = *owner;
      if (c.broken_) [[unlikely]]
        return kCableFailed;
      c.pinQueue_[c.queued_++] = c.levels_;
      if (c.queued_ == kPinBlock) [[unlikely]]
        return c.sendQueued() ? zabi::kOk : kCableFailed;
      return zabi::kOk;
    }
    zabi::HResult ReadPins() override;

    static zabi::HResult get(int16_t* out, bool level) {
      if (!out) return zabi::kPointer;
      *out = level ? zabi::kVariantTrue : zabi::kVariantFalse;
      return zabi::kOk;
    }
  };

  std::unique_ptr<zsim::Cable> cable_;
  std::string description_;
  zsim::ScanEngine engine_;
  Pins pins_;
  Ptr<TJTagPort> port_;
  std::vector<Ptr<TJTagDevice>> devices_;
  size_t queued_ = 0;
  uint8_t pinQueue_[kPinBlock];  // in the object: one indirection less per bit
  uint8_t levels_ = 0;
  int lockDepth_ = 0;
  bool trst_ = false, srst_ = false, led_ = false;
  bool broken_ = false;
  std::string failure_;
};

}  // namespace zolta::hostapp
