#include "zolta/hostapp/jtag_chain.h"

#include <charconv>
#include <cstdio>
#include <stdexcept>

#include "zolta/bscan/bsdl_reader.h"
#include "zolta/hostapp/host.h"
#include "zolta/hostapp/ids.h"
#include "zolta/hostapp/paths.h"
#include "zolta/sim/chain.h"
#include "zolta/sim/error.h"
#include "zolta/sim/remote_bitbang.h"

namespace zolta::hostapp {

namespace {

// More devices than any board of ours carries; the IDCODE scan stops there.
constexpr size_t kMaxChainDevices = 32;
// IEEE 1149.1: an instruction register has at least two cells.
constexpr int kMinIrLength = 2;

std::string joined(const std::vector<std::string>& names, const char* separator) {
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : separator) + n;
  return out;
}

// An optional text answer of a driver; empty when it does not answer.
std::string textOf(const DispPtr& driver, DispId id) {
  zabi::Var answer;
  std::string message;
  if (zabi::tryInvoke(driver.get(), id, &answer, &message) != zabi::kOk) return {};
  try {
    return answer.toString();
  } catch (const zabi::DispatchError&) {
    return {};
  }
}

// The registry entry whose device name, or else base name, is one of `names` (in order).
std::optional<size_t> driverFor(DriverRegistry& drivers, const std::vector<std::string>& names) {
  for (const std::string& name : names)
    for (size_t i = 0; i < drivers.size(); ++i) {
      try {
        if (zabi::sameText(drivers.deviceName(i), name)) return i;
      } catch (const zabi::DispatchError&) {
      }
    }
  for (const std::string& name : names)
    for (size_t i = 0; i < drivers.size(); ++i)
      if (zabi::sameText(drivers.baseName(i), name)) return i;
  return std::nullopt;
}

}  // namespace

std::string hexCode(uint32_t value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", value);
  return buf;
}

std::string deviceStateName(int32_t state) {
  switch (state) {
    case 0: return "not determined";
    case 1: return "not configured";
    case 2: return "configured";
    default: return "state " + std::to_string(state);
  }
}

std::unique_ptr<zsim::Cable> openCable(std::string_view text) {
  if (text.empty() || text == "sim") return std::make_unique<zsim::SimCable>(zsim::buildChain(kDefaultSimChain));
  if (text.starts_with("sim:")) return std::make_unique<zsim::SimCable>(zsim::buildChain(text.substr(4)));
  constexpr std::string_view rbb = "rbb://";
  if (text.starts_with(rbb)) {
    const std::string_view rest = text.substr(rbb.size());
    const size_t colon = rest.rfind(':');
    unsigned port = 0;
    bool ok = colon != std::string_view::npos && colon > 0;
    if (ok) {
      const std::string_view digits = rest.substr(colon + 1);
      const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
      ok = !digits.empty() && ec == std::errc() && end == digits.data() + digits.size() && port >= 1 && port <= 65535;
    }
    if (!ok) throw zsim::SimError("cable '" + std::string(text) + "': expected rbb://HOST:PORT with PORT 1..65535");
    return std::make_unique<zsim::RemoteBitbangCable>(std::string(rest.substr(0, colon)), uint16_t(port));
  }
  if (text.starts_with("remote_bitbang:")) return zsim::openCable(text);
  throw zsim::SimError("unknown cable '" + std::string(text) + "' (expected sim, sim:DEVICE[,DEVICE...] or rbb://HOST:PORT)");
}

// ---- chain -----------------------------------------------------------------------------------------

const JtagChainDevice& JtagChain::at(int64_t index) const {
  if (index < 0 || uint64_t(index) >= devices_.size())
    throw std::runtime_error("device index " + std::to_string(index) + " is beyond the chain: " + description() +
                             " has " + std::to_string(devices_.size()) +
                             (devices_.size() == 1 ? " device (index 0)" : " devices (index 0.." + std::to_string(devices_.size() - 1) + ")"));
  return devices_[size_t(index)];
}

const JtagChainDevice& JtagChain::served(std::optional<int64_t> index) const {
  if (index) {
    const JtagChainDevice& d = at(*index);
    if (!d.host) throw std::runtime_error("device " + std::to_string(*index) + " on " + description() + " has no driver: " + d.problem);
    return d;
  }
  std::string why;
  for (const JtagChainDevice& d : devices_) {
    if (d.host) return d;
    why += "; device " + std::to_string(d.index()) + ": " + d.problem;
  }
  throw std::runtime_error("no device on " + description() + " is served by a loaded driver" + why);
}

// ---- host ------------------------------------------------------------------------------------------

const std::vector<zsim::JtagIdEntry>& Host::jtagIdMap() {
  if (!jtagIdMap_) {
    std::string file = findEntryNoCase(options_.systemFolder, "JTagIdMap.txt");
    if (file.empty())
      throw std::runtime_error("the JTAG ID map " + joinPath(options_.systemFolder, "JTagIdMap.txt") + " is missing");
    try {
      jtagIdMap_ = zsim::loadJtagIdMap(file);
    } catch (const zsim::SimError& e) {
      throw std::runtime_error(e.what());  // names the file and the line
    }
  }
  return *jtagIdMap_;
}

DispPtr Host::newDriver(size_t driverIndex) {
  const DriverEntry& entry = drivers_.entries().at(driverIndex);
  zabi::IDispatch* raw = nullptr;
  const zabi::HResult h = plugins_.at(entry.plugin)->driverEntry()(uint32_t(entry.kind), &raw);
  DispPtr driver = DispPtr::adopt(raw);
  return h == zabi::kOk ? driver : DispPtr();
}

JtagChain& Host::openJtagChain(std::unique_ptr<zsim::Cable> cable) {
  if (!cable) throw std::invalid_argument("no cable to open a JTAG chain on");
  const std::vector<zsim::JtagIdEntry>& idMap = jtagIdMap();
  const std::string idMapFile = findEntryNoCase(options_.systemFolder, "JTagIdMap.txt");
  Ptr<TJTagChannel> channel(new TJTagChannel(link(), std::move(cable)));
  const std::string where = channel->description();

  const std::vector<uint32_t> idcodes =
      channel->withEngine([](zsim::ScanEngine& e) { return e.readIdcodes(kMaxChainDevices); });
  if (idcodes.empty())
    throw std::runtime_error("no JTAG device answers on " + where + ": the IDCODE scan read only ones (empty chain?)");
  size_t irTotal = 0;
  try {
    irTotal = channel->withEngine([](zsim::ScanEngine& e) { return e.measureIrChainLength(); });
  } catch (const zabi::DispatchError& e) {
    if (channel->broken()) throw;
    throw std::runtime_error("no JTAG device answers on " + where + ": " + e.what());
  }

  struct Found {
    JtagDeviceFacts facts;
    JtagChainDevice device;
    DispPtr driver;
    std::string bsdl;
  };
  std::vector<Found> found(idcodes.size());
  for (size_t i = 0; i < idcodes.size(); ++i) {
    Found& f = found[i];
    f.facts.index = i;
    f.facts.idcode = idcodes[i];
    if (idcodes[i] == 0) {
      f.device.problem = "it answers no IDCODE (BYPASS only)";
    } else if (const zsim::JtagIdEntry* entry = zsim::findJtagId(idMap, idcodes[i]); !entry) {
      f.device.problem = "IDCODE " + hexCode(idcodes[i]) + " is not in the JTAG ID map " + idMapFile;
    } else {
      f.facts.idNames = entry->names;
      if (std::optional<size_t> k = driverFor(drivers_, entry->names); !k) {
        f.device.problem = "IDCODE " + hexCode(idcodes[i]) + " is " + joined(entry->names, " or ") +
                           ", which no loaded plug-in serves";
      } else if (!(f.driver = newDriver(*k))) {
        f.device.problem = "plug-in " + drivers_.entries()[*k].pluginName + " gave no driver for kind " +
                           std::to_string(drivers_.entries()[*k].kind);
      } else {
        f.device.deviceName = drivers_.deviceName(*k);
        f.device.pluginName = drivers_.entries()[*k].pluginName;
        f.device.kind = drivers_.entries()[*k].kind;
      }
    }
    std::vector<std::string> names = f.facts.idNames;
    std::string vendor, family;
    if (f.driver) {
      names.insert(names.begin(), f.device.deviceName);
      vendor = textOf(f.driver, ids::DeviceInfo_GetVendorName);
      family = textOf(f.driver, ids::DeviceInfo_GetFamilyName);
      zabi::Var ir;
      std::string message;
      if (zabi::tryInvoke(f.driver.get(), ids::DeviceInfo_GetInstructionLength, &ir, &message) == zabi::kOk)
        f.facts.irLength = std::max(0, ir.toInt32());
    }
    if (!names.empty()) f.bsdl = bsdlLibrary_.find(vendor, family, names);
    if (f.facts.irLength == 0 && !f.bsdl.empty()) {
      try {
        f.facts.irLength = std::max(0, ReadBSDLFile(f.bsdl)->InstructionLength);
      } catch (const std::exception&) {
        // the device's entity reports the file's problem when asked for
      }
    }
  }

  // Instruction lengths: what the descriptions say must add up to what the chain measures.
  size_t known = 0;
  std::vector<size_t> unknown;
  std::string listed;
  for (const Found& f : found) {
    if (f.facts.irLength > 0) known += size_t(f.facts.irLength);
    else unknown.push_back(f.facts.index);
    listed += (listed.empty() ? "" : ", ") + ("device " + std::to_string(f.facts.index) + ": ") +
              (f.facts.irLength > 0 ? std::to_string(f.facts.irLength) : std::string("?"));
  }
  const std::string measured = "the instruction registers on " + where + " total " + std::to_string(irTotal) + " bits";
  if (unknown.size() > 1) {
    throw std::runtime_error("cannot tell the instruction-register lengths of " + std::to_string(unknown.size()) +
                             " devices without a known IDCODE; " + measured + " (" + listed + ")");
  }
  if (unknown.size() == 1) {
    if (irTotal < known + kMinIrLength)
      throw std::runtime_error(measured + ", too few for the devices' descriptions (" + listed + ")");
    found[unknown.front()].facts.irLength = int(irTotal - known);
  } else if (known != irTotal) {
    throw std::runtime_error(measured + ", but the devices' descriptions add up to " + std::to_string(known) + " (" +
                             listed + ")");
  }

  auto chain = std::make_unique<JtagChain>(channel);
  std::vector<Ptr<TJTagDevice>> jtagDevices;
  for (Found& f : found) {
    Ptr<TJTagDevice> jtag(new TJTagDevice(link(), channel.get(), f.facts));
    if (f.bsdl.empty() && f.driver)
      jtag->setBsdlFile({}, "no BSDL file for " + joined(f.facts.idNames.empty() ? std::vector<std::string>{f.device.deviceName}
                                                                                  : f.facts.idNames,
                                                             " or ") +
                                " in " + bsdlLibrary_.folder());
    else
      jtag->setBsdlFile(f.bsdl);
    f.device.jtag = jtag;
    jtagDevices.push_back(jtag);
  }
  channel->setDevices(jtagDevices);
  for (Found& f : found) {
    if (f.driver) {
      Ptr<THostDevice> device(new THostDevice(link(), f.device.deviceName, f.driver, int32_t(f.facts.index)));
      device->setChannel(channel);
      devices_.push_back(device);  // unbound from its driver when the host goes
      zabi::invoke(f.driver, ids::Driver_SetZoltaDevice, device->dispatchPtr());
      f.device.host = device;
    }
    chain->devices().push_back(std::move(f.device));
  }
  chains_.push_back(std::move(chain));
  return *chains_.back();
}

}  // namespace zolta::hostapp
