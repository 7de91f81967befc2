// IJTagPinAccess: the pin-level face of the host's JTAG channel object.
//
// The channel's dispatch operations (instruction loads, data scans, TAP walks) cover short transfers.
// Long bit streams (device configuration) go through this non-dispatch interface instead: the plug-in
// asks the channel object for it with QueryInterface(IID_IJTagPinAccess) and drives the port pin by pin.
//
// Model: the interface keeps one output level per pin (TCK, TMS, TDI, TRST, SRST, LED). The Set*
// operations change the kept level only; WritePins drives every kept level onto the port at once (a
// change of TCK there is a clock edge). ReadPins samples the port's inputs; GetTDO then answers the
// level sampled by the last ReadPins. The levels are shared with the channel's dispatch operations:
// after a TAP walk by dispatch, the kept levels are those the walk left on the port.
//
// Every operation answers a status: kOk, or a failure status (the port is gone, the cable broke). A
// port that failed keeps failing. Levels are passed as 0 (low) or non-zero (high); levels read back
// are Booleans (-1 high, 0 low). The virtual-function order is the contract and never changes.
#pragma once

#include <cstdint>

#include "zolta/abi.h"

namespace zabi {

struct IJTagPinAccess : IInterface {
  virtual HResult SetTRST(int32_t level) = 0;    // test reset line (active low on most cables)
  virtual HResult SetSRST(int32_t level) = 0;    // system reset line
  virtual HResult SetTCK(int32_t level) = 0;
  virtual HResult GetTCK(int16_t* level) = 0;    // the kept TCK level
  virtual HResult SetTDI(int32_t level) = 0;
  virtual HResult SetTMS(int32_t level) = 0;
  virtual HResult GetTDI(int16_t* level) = 0;    // the kept TDI level
  virtual HResult GetTDO(int16_t* level) = 0;    // TDO as sampled by the last ReadPins
  virtual HResult GetTMS(int16_t* level) = 0;    // the kept TMS level
  virtual HResult SetLED(int32_t level) = 0;     // the cable's activity lamp, where it has one
  virtual HResult WritePins() = 0;               // drives the kept levels onto the port
  virtual HResult ReadPins() = 0;                // samples the port's inputs (TDO)
 protected:
  ~IJTagPinAccess() = default;
};

inline constexpr Guid IID_IJTagPinAccess = {0xF07D3E29, 0x9EE8, 0x4972, {0x8D, 0xE0, 0xCC, 0xC7, 0x40, 0xE0, 0x39, 0x59}};

}  // namespace zabi
