// The cable: the narrow pin interface to a JTAG chain, as a bit-banging adapter has it (set TCK, TMS,
// TDI; read TDO), plus batched entry points that let a caller move many bits per call. The TAP walk,
// instruction loads and data scans are built on top of it once (ScanEngine); the simulated chain and
// a remote_bitbang server plug in beneath it where a real adapter would.
//
// Timing: devices sample TMS and TDI on the rising edge of TCK and change TDO on the falling edge. So
// TDO read with TCK low shows the bit the next rising edge will shift out, and TDO read with TCK high
// right after a rising edge still shows the bit from before that edge.
//
// A cable is used by one thread at a time. Failures raise CableError (error.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace zsim {

class Chain;

// Pin levels packed as remote_bitbang writes them: bit 2 TCK, bit 1 TMS, bit 0 TDI.
constexpr uint8_t pinLevels(bool tck, bool tms, bool tdi) {
  return static_cast<uint8_t>((tck ? 4 : 0) | (tms ? 2 : 0) | (tdi ? 1 : 0));
}

class Cable {
 public:
  virtual ~Cable() = default;

  // For messages: "simulated chain EP2AGZ225FF35C3", "remote_bitbang 127.0.0.1:3335".
  virtual std::string description() const = 0;

  // Drives TCK, TMS and TDI. A change of TCK from low to high is a rising edge.
  virtual void write(bool tck, bool tms, bool tdi) = 0;
  // Samples TDO (after everything written before has reached the chain).
  virtual bool readTdo() = 0;

  // Replays `count` pin writes, one per byte as pinLevels() packs them (values 0..7). Nothing is read.
  // The default calls write() per byte.
  virtual void writePins(const uint8_t* levels, size_t count);

  // Clocks `count` TCK cycles. Cycle i: TCK low with TMS and TDI from bit i of `tms` and `tdi`, TDO
  // sampled into bit i of `tdo` (when `tdo` is not null), then TCK high. Bits are packed least
  // significant first (bit i is bit i % 8 of byte i / 8); a null `tms` or `tdi` means all zero; the
  // bits of `tdo` beyond `count` in its last byte are cleared. TCK is high afterwards. The default
  // calls write() and readTdo() per bit.
  virtual void shift(const uint8_t* tms, const uint8_t* tdi, uint8_t* tdo, size_t count);

  // TRST and SRST, true = asserted. The default ignores them.
  virtual void setResets(bool trst, bool srst);

  // Makes sure everything written so far has reached the chain. The default has nothing buffered.
  virtual void flush();
};

// The in-process cable to a simulated chain: every call goes straight to the chain, and the batched
// entry points run their loops without a virtual call per bit. TRST resets the TAP; SRST is not wired
// (an FPGA is reconfigured with PROGRAM, not by a system reset).
class SimCable final : public Cable {
 public:
  // Throws SimError when `chain` is null.
  explicit SimCable(std::shared_ptr<Chain> chain);

  Chain& chain() const { return *chain_; }
  const std::shared_ptr<Chain>& sharedChain() const { return chain_; }

  std::string description() const override;
  void write(bool tck, bool tms, bool tdi) override;
  bool readTdo() override;
  void writePins(const uint8_t* levels, size_t count) override;
  void shift(const uint8_t* tms, const uint8_t* tdi, uint8_t* tdo, size_t count) override;
  void setResets(bool trst, bool srst) override;

 private:
  std::shared_ptr<Chain> chain_;
};

// The cable a text names:
//   "sim"                         the in-process simulated cable with the default chain
//   "sim:CHAIN"                   the same with the chain description CHAIN (see chain.h)
//   "remote_bitbang:[HOST:]PORT"  a remote_bitbang server (HOST defaults to 127.0.0.1)
// An empty text means "sim". Throws SimError for an unknown text, CableError when a server cannot be
// reached.
std::unique_ptr<Cable> openCable(std::string_view text);

}  // namespace zsim
