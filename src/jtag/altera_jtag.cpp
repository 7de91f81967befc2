#include "zolta/jtag/altera_jtag.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "zolta/host/files.h"
#include "zolta/host/host_services.h"
#include "zolta/host/host_ui.h"
#include "zolta/host/text_utils.h"
#include "zolta/host_ids.h"
#include "zolta/jtag/altera_tables.h"
#include "zolta/jtag_pin_access.h"

namespace zolta {

namespace {

namespace hid = zabi::host;
using zabi::DispatchError;

std::string hexStatus(zabi::HResult h) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(h));
  return buf;
}

// The channel's dispatch operations used here.
class ChannelOps {
 public:
  explicit ChannelOps(const DispPtr& channel) : ch_(channel) {}
  void gotoState(int32_t state) const { zabi::invoke(ch_, hid::JTagChannel_GotoTapState, state); }
  void moveState(int32_t from, int32_t to) const { zabi::invoke(ch_, hid::JTagChannel_MoveTapState, from, to); }
  void loadInstruction(int32_t code, int32_t index) const {
    zabi::invoke(ch_, hid::JTagChannel_LoadInstruction, code, index);
  }
  int32_t scanData(int32_t value, int32_t bits, int32_t index) const {
    return zabi::invoke(ch_, hid::JTagChannel_ScanData, value, bits, index).toInt32();
  }
  void clockTms(int32_t level) const { zabi::invoke(ch_, hid::JTagChannel_ClockTms, level); }
  int32_t chainLength() const { return zabi::invoke(ch_, hid::JTagChannel_GetChainLength).toInt32(); }
  void prepareChain() const { zabi::invoke(ch_, hid::JTagChannel_PrepareChain); }

 private:
  const DispPtr& ch_;
};

// Exclusive use of the channel for the lifetime of the object. unlock() releases it and reports a
// failure; the destructor releases it on the error paths and swallows a second failure, so that the
// error that ended the routine is the one the caller sees.
class ChannelLock {
 public:
  explicit ChannelLock(const DispPtr& channel) : ch_(channel) {
    zabi::invoke(ch_, hid::JTagChannel_Lock);  // the answer is not looked at
    locked_ = true;
  }
  ChannelLock(const ChannelLock&) = delete;
  ChannelLock& operator=(const ChannelLock&) = delete;
  ~ChannelLock() {
    if (!locked_) return;
    try {
      zabi::invoke(ch_, hid::JTagChannel_Unlock);
    } catch (...) {
    }
  }
  void unlock() {
    locked_ = false;
    zabi::invoke(ch_, hid::JTagChannel_Unlock);
  }

 private:
  const DispPtr& ch_;
  bool locked_ = false;
};

// The raised error of a pin operation; the routine adds where it happened.
class PinError : public DispatchError {
 public:
  PinError(const char* operation, zabi::HResult status)
      : DispatchError(std::string("the JTAG port failed (") + operation + " answered " + hexStatus(status) + ")",
                      status) {}
};

// The pin-level interface of the channel. Every operation's status is checked; the checks are
// inline so that the per-bit cost stays at the interface calls themselves.
class PinPort {
 public:
  explicit PinPort(const DispPtr& channel)
      : pins_(zabi::queryInterface<zabi::IJTagPinAccess>(channel.get(), zabi::IID_IJTagPinAccess)) {
    if (!pins_) throw DispatchError("The JTAG channel offers no pin-level access (IJTagPinAccess)");
    p_ = pins_.get();
  }
  void tck(int32_t level) { check(p_->SetTCK(level), "SetTCK"); }
  void tdi(int32_t level) { check(p_->SetTDI(level), "SetTDI"); }
  void tms(int32_t level) { check(p_->SetTMS(level), "SetTMS"); }
  void write() { check(p_->WritePins(), "WritePins"); }
  void read() { check(p_->ReadPins(), "ReadPins"); }
  bool tdo() {
    int16_t level = 0;
    check(p_->GetTDO(&level), "GetTDO");
    return level != 0;
  }
  // TCK low, TCK high.
  void clockPulse() {
    tck(0);
    write();
    tck(1);
    write();
  }
  // TCK low with TDI at bit, then TCK high: the device takes the bit on the rising edge.
  void dataBit(int32_t bit) {
    tck(0);
    tdi(bit);
    write();
    tck(1);
    write();
  }

 private:
  static void check(zabi::HResult h, const char* operation) {
    if (h != zabi::kOk) [[unlikely]]
      throw PinError(operation, h);
  }
  zabi::Ptr<zabi::IJTagPinAccess> pins_;
  zabi::IJTagPinAccess* p_ = nullptr;
};

// The host's status-bar progress for one routine; ended on every path.
class ProgressScope {
 public:
  ProgressScope(std::string_view text, int32_t total) {
    BeginProgress(text, total);
    active_ = true;
  }
  ProgressScope(const ProgressScope&) = delete;
  ProgressScope& operator=(const ProgressScope&) = delete;
  ~ProgressScope() {
    if (!active_) return;
    try {
      EndProgress();
    } catch (...) {
    }
  }
  void end() {
    active_ = false;
    EndProgress();
  }

 private:
  bool active_ = false;
};

std::string deviceText(int32_t deviceIndex) { return "the device at JTAG index " + std::to_string(deviceIndex); }

// Runs a routine's body; a failure leaves with the routine's context in front of its message.
template <class F>
auto withContext(const std::string& what, F&& body) {
  try {
    return body();
  } catch (const DispatchError& e) {
    throw DispatchError(what + " failed: " + e.what(), e.status());
  } catch (const std::exception& e) {
    throw DispatchError(what + " failed: " + e.what());
  }
}

// ---- bit file ----------------------------------------------------------------------------------

// The largest file whose bit count fits the 32-bit answer.
constexpr uint64_t kMaxBitFileBytes = uint64_t(std::numeric_limits<int32_t>::max()) / 8;

// The existing bit file that fileName names (exact name first, then ignoring case); empty when none.
std::string locateBitFile(const std::string& fileName) {
  if (fileName.empty()) return {};
  struct stat st {};
  if (::stat(fileName.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? std::string() : fileName;
  std::string resolved = ResolveFileCaseInsensitive(fileName);
  if (resolved.empty() || DirectoryExists(resolved)) return {};
  return resolved;
}

// Reads the whole file once; its memory is all the routine holds of it.
std::vector<uint8_t> readBitFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw DispatchError("Cannot open the bit file \"" + path + "\": " + std::strerror(errno));
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) throw DispatchError("Cannot read the bit file \"" + path + "\": " + std::strerror(errno));
  if (!S_ISREG(st.st_mode)) throw DispatchError("The bit file \"" + path + "\" is not a regular file");
  const uint64_t size = uint64_t(st.st_size);
  if (size > kMaxBitFileBytes)
    throw DispatchError("The bit file \"" + path + "\" is too large to program: " + std::to_string(size) +
                        " bytes, at most " + std::to_string(kMaxBitFileBytes));
  std::vector<uint8_t> data(size);
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::read(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw DispatchError("Cannot read the bit file \"" + path + "\": " + std::strerror(errno));
    }
    if (n == 0) break;  // the file shrank since it was measured: what is there is the file
    done += size_t(n);
  }
  data.resize(done);
  return data;
}

// ---- host family object --------------------------------------------------------------------------

DispPtr dispatchOf(const Var& v) { return v.isEmpty() ? DispPtr() : v.toDispatch(); }

std::string familyNameOf(const DispPtr& driver) {
  if (!driver) throw DispatchError("No driver was given to ask for the device family");
  return zabi::invoke(driver, kDriver_GetFamilyName).toString();
}

// The host's device-family object: device manager -> family manager -> family by name.
DispPtr hostFamilyObject(const std::string& familyName) {
  IDeviceManager manager = GetDeviceManager();
  if (!manager)
    throw DispatchError("The host has no device manager to read the parameters of device family \"" + familyName +
                        "\"");
  DispPtr families = dispatchOf(manager.call(hid::DeviceManager_GetFamilyManager));
  if (!families)
    throw DispatchError("The host's device manager has no family manager to read the parameters of device family \"" +
                        familyName + "\"");
  DispPtr family = dispatchOf(zabi::invoke(families, hid::FamilyManager_GetFamily, familyName));
  if (!family) throw DispatchError("The host knows no device family \"" + familyName + "\"");
  return family;
}

}  // namespace

// ---- routines ----------------------------------------------------------------------------------------

int32_t AlteraReadUserCode(const DispPtr& channel, int32_t deviceIndex) {
  int32_t result = -1;
  if (!channel) return result;
  return withContext("Reading the user code of " + deviceText(deviceIndex), [&] {
    const ChannelOps ops(channel);
    ChannelLock lock(channel);
    ops.gotoState(kTapState_Idle);
    ops.loadInstruction(kAlteraInstr_UserCode, deviceIndex);
    result = ops.scanData(0, 32, deviceIndex);
    lock.unlock();
    return result;
  });
}

bool ConfDoneProbe(std::string_view baseName, const DispPtr& channel, int32_t deviceIndex) {
  if (!channel) return false;
  return withContext("Reading the configuration state of " + deviceText(deviceIndex), [&] {
    const ChannelOps ops(channel);
    PinPort pins(channel);
    ChannelLock lock(channel);
    ops.loadInstruction(kAlteraInstr_CheckStatus, deviceIndex);
    ops.moveState(kTapState_Idle, kTapState_DrShift);
    int32_t n = 0, k = 0;
    if (!AlteraConfDoneTable(baseName, n, k) || n == 0) {
      lock.unlock();
      return false;
    }
    // Shift until the CONF_DONE cell is at TDO: the cells behind it in the device's register, then
    // one bypass bit for each device between it and TDO.
    const int64_t count = 3 * (int64_t(n) - k) + ops.chainLength() - int64_t(deviceIndex);
    for (int64_t i = 0; i < count; ++i) ops.clockTms(0);
    pins.read();
    const bool bit = pins.tdo();
    ops.clockTms(1);
    ops.moveState(kTapState_DrExit1, kTapState_Idle);
    lock.unlock();
    return bit;
  });
}

int32_t AlteraDeviceState(std::string_view baseName, const DispPtr& channel, int32_t deviceIndex) {
  return ConfDoneProbe(baseName, channel, deviceIndex) ? kDeviceState_Configured : kDeviceState_NotConfigured;
}

bool AlteraResetDevice(std::string_view baseName, const DispPtr& channel, int32_t deviceIndex) {
  if (!channel) return false;
  withContext("Resetting " + deviceText(deviceIndex), [&] {
    const ChannelOps ops(channel);
    ChannelLock lock(channel);
    ops.gotoState(kTapState_Idle);
    ops.loadInstruction(kAlteraInstr_Program, deviceIndex);
    ops.gotoState(kTapState_Idle);
    lock.unlock();
  });
  return AlteraDeviceState(baseName, channel, deviceIndex) == kDeviceState_NotConfigured;
}

int32_t AlteraProgramDevice(const DispPtr& driver, const std::string& fileName, const DispPtr& channel,
                            int32_t deviceIndex) {
  int32_t result = 0;
  if (!channel) return result;
  const std::string path = locateBitFile(fileName);
  if (path.empty()) return result;

  const std::string what = "Programming " + deviceText(deviceIndex) + " from \"" + path + "\"";
  return withContext(what, [&] {
    const ChannelOps ops(channel);
    PinPort pins(channel);
    const std::vector<uint8_t> data = readBitFile(path);
    const int32_t size = int32_t(data.size());
    result = size * 8;

    ChannelLock lock(channel);
    ops.prepareChain();
    WaitMilliseconds(40);

    const DispPtr family = hostFamilyObject(familyNameOf(driver));
    if (zabi::invoke(family, hid::Family_GetParameterBoolean, kFamilyParam_ActiveDisengage).toBool()) {
      ops.gotoState(kTapState_Idle);
      ops.loadInstruction(kAlteraInstr_ActiveDisengage, deviceIndex);
    }

    // PROGRAM clears the device; it then needs time before it takes data.
    ops.gotoState(kTapState_Idle);
    ops.loadInstruction(kAlteraInstr_Program, deviceIndex);
    WaitMilliseconds(1000);

    pins.tdi(1);
    pins.write();
    ops.moveState(kTapState_Idle, kTapState_DrShift);
    const int32_t cycles = ClockCyclesForFamily(familyNameOf(driver));
    for (int32_t i = 0; i < cycles; ++i) pins.clockPulse();

    pins.tdi(0);
    pins.tms(0);
    pins.tck(0);
    pins.write();

    ProgressScope progress(kProgrammingProgressText, size);
    int64_t skip = 0;
    if (zabi::invoke(family, hid::Family_HasParameter2, kFamilyParam_ProgramBitsToIgnore).toBool())
      skip = zabi::invoke(family, hid::Family_GetParameterInteger, kFamilyParam_ProgramBitsToIgnore).toInt32();

    // The configuration data, each byte least significant bit first. Behind another device the
    // port gets an extra TCK-low write before every bit.
    size_t byteIndex = 0;
    try {
      for (; byteIndex < data.size(); ++byteIndex) {
        if (int64_t(byteIndex) >= skip) {
          const uint32_t byte = data[byteIndex];
          if (deviceIndex > 0) {
            for (int bit = 0; bit < 8; ++bit) {
              pins.tck(0);
              pins.write();
              pins.dataBit(int32_t((byte >> bit) & 1u));
            }
          } else {
            for (int bit = 0; bit < 8; ++bit) pins.dataBit(int32_t((byte >> bit) & 1u));
          }
        }
        StepProgress();
      }
    } catch (const DispatchError& e) {
      throw DispatchError(std::string(e.what()) + " at byte " + std::to_string(byteIndex) + " of " +
                              std::to_string(data.size()),
                          e.status());
    }

    for (int i = 0; i < 128; ++i) pins.dataBit(1);
    if (deviceIndex == 0) {
      pins.tck(0);
      pins.write();
    }
    pins.tdi(0);
    pins.write();
    pins.tck(0);
    pins.write();
    for (int32_t i = 0; i < deviceIndex; ++i) ops.clockTms(0);
    ops.clockTms(1);
    ops.moveState(kTapState_DrExit1, kTapState_Idle);
    progress.end();

    // Start-up: STARTUP, then 400 TCK cycles in Run-Test/Idle.
    ops.loadInstruction(kAlteraInstr_Startup, deviceIndex);
    for (int i = 0; i < 200; ++i) {
      pins.tdi(0);
      pins.write();
      ops.clockTms(0);
      pins.tdi(1);
      pins.write();
      ops.clockTms(0);
    }
    ops.gotoState(kTapState_Idle);
    lock.unlock();
    return result;
  });
}

}  // namespace zolta
