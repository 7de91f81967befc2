// The host's object for a physical device (IZoltaDevice), bound to the driver of its kind.
//
// It answers its name and chain index, a register file (read/write by address, masked to the width
// asked), and relays reset, state and programming requests to its driver. JTAG channels come from the
// chain the device sits on; a device without one answers "no channel" (an empty object).
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "zolta/hostapp/host_object.h"

namespace zolta::hostapp {

class THostDevice : public THostObject {
 public:
  THostDevice(const HostLink& link, std::string name, DispPtr driver, int32_t jtagIndex)
      : THostObject(link), name_(std::move(name)), driver_(std::move(driver)), jtagIndex_(jtagIndex) {}

  std::string GetName() { return name_; }
  // "EP2AGZ225FF35C3 at JTAG chain index 1", or the name alone for a device on no chain.
  std::string GetDescription();
  int32_t GetJTagIndex() { return jtagIndex_; }
  DispPtr GetJTagChannel() { return channel_; }
  // Width 1..32 bits; another width is refused with an error naming it.
  int32_t ReadRegister(int32_t address, int32_t width);
  void WriteRegister(int32_t address, int32_t width, int32_t value);
  DispPtr GetDriver() { return driver_; }
  bool ResetDevice();
  int32_t GetDeviceState();
  int32_t ProgramDevice(std::string fileName);
  // The driver's user code (ReadUserCode, 503789); the host's own relay, not a dispatch operation.
  int32_t ReadUserCode();

  void setChannel(DispPtr channel) { channel_ = std::move(channel); }
  // Forgets the driver (the host calls this after unbinding).
  void dropDriver() { driver_ = nullptr; }

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  const DispPtr& driverOrThrow() const;
  std::string name_;
  DispPtr driver_;
  DispPtr channel_;
  int32_t jtagIndex_;
  std::map<int32_t, uint32_t> registers_;
};

}  // namespace zolta::hostapp
