// JTAG chains the host has opened: a cable, its channel, and one JTAG device (and, when a driver
// serves it, one host device) per chain position.
//
// Opening a chain scans it:
//  1. Test-Logic-Reset, then one data scan reads every device's IDCODE (a device without one shows
//     its one-bit BYPASS register). No device at all (TDO stuck high) is an error.
//  2. Each IDCODE is looked up in the host's JTAG ID map (System/JTagIdMap.txt). Its names pick the
//     driver: a loaded driver whose device name is the name, else the first whose base name is
//     (ASCII case ignored, names in map order). The device gets a driver of its own (a fresh one from
//     the plug-in's entry point, so two equal devices on one chain are two bound drivers) and a host
//     device bound to it (SetZoltaDevice) whose channel is this chain's channel.
//  3. Instruction lengths come from the drivers (GetInstructionLength) or the BSDL files; the chain's
//     total is measured, and one device whose length is unknown (no IDCODE, no driver) gets the rest.
//     A total that does not add up, or two unknown lengths, is an error naming the devices.
//  4. The host's BSDL library names each device's BSDL file; it is read when first asked for.
//
// Cable texts (openCable):
//   "sim" or ""                  the in-process simulated cable with kDefaultSimChain
//   "sim:DEVICE[,DEVICE...]"     the same with that chain (zsim chain description, index 0 first)
//   "rbb://HOST:PORT"            a remote_bitbang server (also "remote_bitbang:[HOST:]PORT")
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zolta/hostapp/host_device.h"
#include "zolta/hostapp/jtag_channel.h"
#include "zolta/hostapp/jtag_device.h"
#include "zolta/sim/cable.h"

namespace zolta::hostapp {

// The simulated chain used when none is named: two Arria II GZ devices.
inline constexpr std::string_view kDefaultSimChain = "EP2AGZ225FF35C3,EP2AGZ300FF35C3";

// Opens the cable a text names. Throws zsim::SimError with a message naming the text or the server.
std::unique_ptr<zsim::Cable> openCable(std::string_view text);

// One position of an opened chain.
struct JtagChainDevice {
  Ptr<TJTagDevice> jtag;
  Ptr<THostDevice> host;         // none when no driver serves the device
  std::string deviceName;        // the bound driver's device name, empty without one
  std::string pluginName;        // the plug-in of that driver
  int32_t kind = -1;             // its device kind
  std::string problem;           // why no driver serves the device, empty when one does

  size_t index() const { return jtag->facts().index; }
  uint32_t idcode() const { return jtag->facts().idcode; }
};

class JtagChain {
 public:
  explicit JtagChain(Ptr<TJTagChannel> channel) : channel_(std::move(channel)) {}

  const Ptr<TJTagChannel>& channel() const { return channel_; }
  const std::vector<JtagChainDevice>& devices() const { return devices_; }
  std::vector<JtagChainDevice>& devices() { return devices_; }
  std::string description() const { return channel_->description(); }

  // The device at a chain index. Throws std::runtime_error naming the index and the chain's length.
  const JtagChainDevice& at(int64_t index) const;
  // The device a command works on: the one at `index`, or without one the first device a driver
  // serves. Throws std::runtime_error naming the device and why no driver serves it (or that none does).
  const JtagChainDevice& served(std::optional<int64_t> index) const;

 private:
  Ptr<TJTagChannel> channel_;
  std::vector<JtagChainDevice> devices_;
};

// A device state (1, 2, or 0 from a generic driver) as words: "not configured", "configured".
std::string deviceStateName(int32_t state);

// "0x024810DD".
std::string hexCode(uint32_t value);

}  // namespace zolta::hostapp
