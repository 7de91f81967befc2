// zolta info DEVICE [--pins] [--json]: every device-information answer of the driver that serves DEVICE
// (a device name, or a kind number of the first plug-in that has it), asked through dispatch, and the
// device's I/O standards; with --pins every device pin with its flags, differential ids and I/O
// standards. An answer the driver refuses is shown as an error and makes the exit status 1.
#include <algorithm>
#include <charconv>
#include <functional>

#include "cli.h"
#include "zolta/bscan/bsdl_interface.h"
#include "zolta/hostapp/ids.h"
#include "zolta/hostapp/jtag_chain.h"
#include "zolta/hostapp/text.h"

namespace zolta::cli {

namespace {

namespace ids = hostapp::ids;

enum class Kind { Text, Int, Hex, Bool, Entity };

struct InfoRow {
  zabi::DispId id;
  const char* name;
  Kind kind;
};

// The device-information operations with no index, in identifier order (503411 and 503422 are the
// indexed pin and I/O-standard getters, listed apart; 503424 takes a parameter name).
const InfoRow kInfoRows[] = {
    {503379, "IdCode", Kind::Hex},
    {503380, "DeviceName", Kind::Text},
    {503381, "DeviceDescription", Kind::Text},
    {503382, "FamilyName", Kind::Text},
    {503383, "FamilyDescription", Kind::Text},
    {503384, "LibraryName", Kind::Text},
    {503385, "VendorPrimitiveLibraryName", Kind::Text},
    {503386, "BaseName", Kind::Text},
    {503387, "EquivalentGatesForBase", Kind::Int},
    {503388, "MaxIOForBase", Kind::Int},
    {503389, "PackageTypeId", Kind::Text},
    {503390, "PackageTypeName", Kind::Text},
    {503391, "PackageTypeDescription", Kind::Text},
    {503392, "PackageId", Kind::Text},
    {503393, "PackageName", Kind::Text},
    {503394, "PackageDescription", Kind::Text},
    {503395, "PackageDimensions", Kind::Text},
    {503396, "TemperatureGradeId", Kind::Text},
    {503397, "TemperatureGradeName", Kind::Text},
    {503398, "TemperatureGradeDescription", Kind::Text},
    {503399, "SpeedGradeId", Kind::Text},
    {503400, "SpeedGradeName", Kind::Text},
    {503401, "SpeedGradeDescription", Kind::Text},
    {503402, "OptionDesignatorId", Kind::Text},
    {503403, "OptionDesignatorName", Kind::Text},
    {503404, "OptionDesignatorDescription", Kind::Text},
    {503405, "BSDLFilename", Kind::Text},
    {503406, "BSDLEntity", Kind::Entity},
    {503407, "VendorName", Kind::Text},
    {503408, "InstructionLength", Kind::Int},
    {503409, "DevicePinCount", Kind::Int},
    {503410, "DeviceIOCount", Kind::Int},
    {503412, "DownloadFileExtensions", Kind::Text},
    {503413, "DSPMultiplierCount", Kind::Int},
    {503414, "ClockManagerCount", Kind::Int},
    {503415, "MemorySize", Kind::Int},
    {503416, "TerminationSupport", Kind::Bool},
    {503417, "GlobalClockCount", Kind::Int},
    {503418, "ConfigMemorySize", Kind::Int},
    {503419, "DiffPairCount", Kind::Int},
    {503420, "HighSpeedDiffPairCount", Kind::Int},
    {503421, "IOStandardCount", Kind::Int},
    {503423, "DeviceDisplayName", Kind::Text},
};

// The device parameter asked for by name (503424); the generic driver looks for this one.
constexpr const char* kDeviceParameter = "ProcessorDeviceName";

// The Boolean flags of a device pin, in identifier order.
const std::pair<zabi::DispId, const char*> kPinFlags[] = {
    {503527, "IOPin"},         {503528, "CLKPin"},      {503529, "VREFPin"},      {503530, "SpecialPin"},
    {503533, "InputOnlyPin"},  {503534, "DCIP"},        {503535, "DCIN"},         {503536, "DiffP"},
    {503537, "DiffN"},         {503538, "HDiffP"},      {503539, "HDiffN"},       {503540, "TransmitDiff"},
    {503541, "ReceiveDiff"},   {503542, "ClkDiffP"},    {503543, "ClkDiffN"},     {503544, "DLLPin"},
    {503548, "PosPinOfDiffPair"}, {503549, "NegPinOfDiffPair"},
};

struct Failure {
  std::string operation;
  std::string message;
};

// Asks one operation; a refusal is noted and answers an empty variant.
zabi::Var ask(const DispPtr& object, zabi::DispId id, const std::string& what, std::vector<Failure>& failures,
              std::optional<int32_t> index = std::nullopt) {
  zabi::Var result;
  std::string message;
  const zabi::HResult h = index ? zabi::tryInvoke(object.get(), id, &result, &message, *index)
                                : zabi::tryInvoke(object.get(), id, &result, &message);
  if (h != zabi::kOk) {
    failures.push_back({what, message.empty() ? "status " + hostapp::hexCode(uint32_t(h)) : message});
    return {};
  }
  return result;
}

std::string textOf(const zabi::Var& v) {
  try {
    return v.isEmpty() ? std::string() : v.toString();
  } catch (const zabi::DispatchError&) {
    return "<" + std::string(zabi::variantTypeName(v.type())) + ">";
  }
}

int32_t intOf(const zabi::Var& v) {
  try {
    return v.isEmpty() ? 0 : v.toInt32();
  } catch (const zabi::DispatchError&) {
    return 0;
  }
}

struct IOStandard {
  std::string displayName, paramName;
  std::vector<std::string> slews, drives;
};

IOStandard readStandard(const DispPtr& s, const std::string& what, std::vector<Failure>& failures) {
  IOStandard r;
  r.displayName = textOf(ask(s, ids::IOStandard_GetDisplayName, what + ".GetDisplayName", failures));
  r.paramName = textOf(ask(s, ids::IOStandard_GetParamName, what + ".GetParamName", failures));
  const int32_t slews = intOf(ask(s, ids::IOStandard_GetSlewCount, what + ".GetSlewCount", failures));
  for (int32_t i = 0; i < slews; ++i)
    r.slews.push_back(textOf(ask(s, ids::IOStandard_GetSlewValue, what + ".GetSlewValue", failures, i)));
  const int32_t drives = intOf(ask(s, ids::IOStandard_GetDriveCount, what + ".GetDriveCount", failures));
  for (int32_t i = 0; i < drives; ++i)
    r.drives.push_back(textOf(ask(s, ids::IOStandard_GetDriveStrength, what + ".GetDriveStrength", failures, i)));
  return r;
}

// The I/O standards an object lists through a count and an indexed getter.
std::vector<IOStandard> readStandards(const DispPtr& owner, zabi::DispId countId, zabi::DispId getId,
                                      const std::string& what, std::vector<Failure>& failures) {
  std::vector<IOStandard> out;
  const int32_t count = intOf(ask(owner, countId, what + " I/O standard count", failures));
  for (int32_t i = 0; i < count; ++i) {
    const std::string each = what + " I/O standard " + std::to_string(i);
    zabi::Var v = ask(owner, getId, each, failures, i);
    if (v.isEmpty()) continue;
    DispPtr s = v.toDispatch();
    if (s) out.push_back(readStandard(s, each, failures));
  }
  return out;
}

struct Pin {
  std::string number, bank, differentialId, clkDifferentialId, uniqueDifferentialId;
  std::vector<std::string> flags;
  std::vector<IOStandard> standards;
};

std::string joined(const std::vector<std::string>& items, const char* separator) {
  std::string out;
  for (const std::string& s : items) out += (out.empty() ? "" : separator) + s;
  return out;
}

std::string standardText(const IOStandard& s) {
  std::string t = s.displayName + " (" + s.paramName + ")";
  if (!s.slews.empty()) t += " slews " + joined(s.slews, ",");
  if (!s.drives.empty()) t += " drives " + joined(s.drives, ",");
  return t;
}

std::string jsonStandards(const std::vector<IOStandard>& list) {
  std::string out = "[";
  for (size_t i = 0; i < list.size(); ++i) {
    const IOStandard& s = list[i];
    out += (i ? ", " : "") + std::string("{\"displayName\": ") + hostapp::jsonString(s.displayName) +
           ", \"paramName\": " + hostapp::jsonString(s.paramName) + ", \"slews\": [";
    for (size_t k = 0; k < s.slews.size(); ++k) out += (k ? ", " : "") + hostapp::jsonString(s.slews[k]);
    out += "], \"drives\": [";
    for (size_t k = 0; k < s.drives.size(); ++k) out += (k ? ", " : "") + hostapp::jsonString(s.drives[k]);
    out += "]}";
  }
  return out + "]";
}

// The driver entry that DEVICE names; throws with the reason when none does.
const hostapp::DriverEntry& findDriver(hostapp::Host& host, const std::string& device) {
  hostapp::DriverRegistry& drivers = host.drivers();
  int32_t kind = -1;
  const auto [end, ec] = std::from_chars(device.data(), device.data() + device.size(), kind);
  if (ec == std::errc() && end == device.data() + device.size()) {
    for (const hostapp::DriverEntry& e : drivers.entries())
      if (e.kind == kind) return e;
    int32_t highest = -1;
    for (const hostapp::DriverEntry& e : drivers.entries()) highest = std::max(highest, e.kind);
    throw std::runtime_error("no loaded plug-in serves device kind " + device +
                             (highest < 0 ? std::string(" (no plug-in loaded from " + host.pluginFolder() + ")")
                                          : " (kinds 0.." + std::to_string(highest) + ")"));
  }
  for (size_t i = 0; i < drivers.size(); ++i) {
    try {
      if (zabi::sameText(drivers.deviceName(i), device)) return drivers.entries()[i];
    } catch (const zabi::DispatchError&) {
    }
  }
  throw std::runtime_error("no loaded plug-in serves a device named '" + device + "' (see 'zolta devices')");
}

}  // namespace

int runInfo(Context& context, const std::vector<std::string>& args) {
  bool withPins = false;
  std::string device;
  for (const std::string& a : args) {
    if (a == "--pins") withPins = true;
    else if (a.size() > 1 && a[0] == '-') return context.usageError("info: unexpected option '" + a + "'");
    else if (device.empty()) device = a;
    else return context.usageError("info: unexpected argument '" + a + "'");
  }
  if (device.empty()) return context.usageError("info: missing DEVICE (a device name or a kind number)");

  hostapp::Host& host = context.host();
  const hostapp::DriverEntry& entry = findDriver(host, device);
  const DispPtr& driver = entry.driver;
  std::vector<Failure> failures;

  // Every answer as a (name, text, JSON) triple.
  struct Answer {
    std::string name, text, json;
  };
  std::vector<Answer> answers;
  for (const InfoRow& row : kInfoRows) {
    const std::string op = std::string("Get") + row.name;
    const size_t before = failures.size();
    zabi::Var v = ask(driver, row.id, op, failures);
    if (failures.size() > before) {
      answers.push_back({row.name, "<error: " + failures.back().message + ">", "null"});
      continue;
    }
    switch (row.kind) {
      case Kind::Text: {
        const std::string t = textOf(v);
        answers.push_back({row.name, t, hostapp::jsonString(t)});
        break;
      }
      case Kind::Int: {
        const int32_t n = intOf(v);
        answers.push_back({row.name, std::to_string(n), std::to_string(n)});
        break;
      }
      case Kind::Hex: {
        const uint32_t n = uint32_t(intOf(v));
        answers.push_back({row.name, hostapp::hexCode(n), std::to_string(n)});
        break;
      }
      case Kind::Bool: {
        const bool b = !v.isEmpty() && v.toBool();
        answers.push_back({row.name, b ? "true" : "false", b ? "true" : "false"});
        break;
      }
      case Kind::Entity: {
        DispPtr e = v.isEmpty() ? DispPtr() : v.toDispatch();
        if (!e) {
          answers.push_back({row.name, "none", "null"});
          break;
        }
        const std::string name = textOf(ask(e, bsdl_dispid::Entity_GetName, "BSDLEntity.GetName", failures));
        const int32_t length = intOf(ask(e, bsdl_dispid::Entity_GetBoundaryLength, "BSDLEntity.GetBoundaryLength", failures));
        const int32_t pins = intOf(ask(e, bsdl_dispid::Entity_GetPinCount, "BSDLEntity.GetPinCount", failures));
        answers.push_back({row.name,
                           name + " (" + std::to_string(pins) + " pins, boundary length " + std::to_string(length) + ")",
                           "{\"name\": " + hostapp::jsonString(name) + ", \"pinCount\": " + std::to_string(pins) +
                               ", \"boundaryLength\": " + std::to_string(length) + "}"});
        break;
      }
    }
  }
  {
    zabi::Var result;
    std::string message;
    const std::string name = std::string("DeviceParameter(") + kDeviceParameter + ")";
    if (zabi::tryInvoke(driver.get(), 503424, &result, &message, std::string(kDeviceParameter)) == zabi::kOk) {
      const std::string t = textOf(result);
      answers.push_back({name, t, hostapp::jsonString(t)});
    } else {
      failures.push_back({"GetDeviceParameter", message});
      answers.push_back({name, "<error: " + message + ">", "null"});
    }
  }

  const std::vector<IOStandard> standards =
      readStandards(driver, ids::DeviceInfo_GetIOStandardCount, ids::DeviceInfo_GetIOStandard, "device", failures);

  std::vector<Pin> pins;
  if (withPins) {
    const int32_t count = intOf(ask(driver, ids::DeviceInfo_GetDevicePinCount, "GetDevicePinCount", failures));
    for (int32_t i = 0; i < count; ++i) {
      const std::string what = "pin " + std::to_string(i);
      zabi::Var v = ask(driver, ids::DeviceInfo_GetDevicePin, "GetDevicePin(" + std::to_string(i) + ")", failures, i);
      DispPtr p = v.isEmpty() ? DispPtr() : v.toDispatch();
      if (!p) continue;
      Pin pin;
      pin.number = textOf(ask(p, ids::DevicePin_GetPinNumber, what + ".GetPinNumber", failures));
      pin.bank = textOf(ask(p, ids::DevicePin_GetIOBank, what + ".GetIOBank", failures));
      pin.differentialId = textOf(ask(p, ids::DevicePin_GetDifferentialId, what + ".GetDifferentialId", failures));
      pin.clkDifferentialId = textOf(ask(p, ids::DevicePin_GetClkDifferentialId, what + ".GetClkDifferentialId", failures));
      pin.uniqueDifferentialId =
          textOf(ask(p, ids::DevicePin_GetUniqueDifferentialID, what + ".GetUniqueDifferentialID", failures));
      for (const auto& [id, flag] : kPinFlags) {
        zabi::Var f = ask(p, id, what + ".GetIs" + flag, failures);
        if (!f.isEmpty() && f.toBool()) pin.flags.push_back(flag);
      }
      pin.standards = readStandards(p, ids::DevicePin_GetIOStandardCount, ids::DevicePin_GetIOStandard, what, failures);
      pins.push_back(std::move(pin));
    }
  }

  std::ostream& out = context.out();
  if (context.options().json) {
    out << "{\n  \"plugin\": " << hostapp::jsonString(entry.pluginName) << ",\n  \"kind\": " << entry.kind
        << ",\n  \"information\": {";
    for (size_t i = 0; i < answers.size(); ++i)
      out << (i ? ",\n    " : "\n    ") << hostapp::jsonString(answers[i].name) << ": " << answers[i].json;
    out << "\n  },\n  \"ioStandards\": " << jsonStandards(standards);
    if (withPins) {
      out << ",\n  \"pins\": [";
      for (size_t i = 0; i < pins.size(); ++i) {
        const Pin& p = pins[i];
        out << (i ? ",\n    " : "\n    ") << "{\"number\": " << hostapp::jsonString(p.number)
            << ", \"bank\": " << hostapp::jsonString(p.bank) << ", \"flags\": [";
        for (size_t k = 0; k < p.flags.size(); ++k) out << (k ? ", " : "") << hostapp::jsonString(p.flags[k]);
        out << "], \"differentialId\": " << hostapp::jsonString(p.differentialId)
            << ", \"clkDifferentialId\": " << hostapp::jsonString(p.clkDifferentialId)
            << ", \"uniqueDifferentialId\": " << hostapp::jsonString(p.uniqueDifferentialId)
            << ", \"ioStandards\": " << jsonStandards(p.standards) << "}";
      }
      out << (pins.empty() ? "]" : "\n  ]");
    }
    out << ",\n  \"errors\": [";
    for (size_t i = 0; i < failures.size(); ++i)
      out << (i ? ", " : "") << "{\"operation\": " << hostapp::jsonString(failures[i].operation)
          << ", \"message\": " << hostapp::jsonString(failures[i].message) << "}";
    out << "]\n}\n";
  } else {
    out << entry.pluginName << " kind " << entry.kind << "\n";
    size_t width = 0;
    for (const Answer& a : answers) width = std::max(width, a.name.size());
    for (const Answer& a : answers) out << "  " << a.name << std::string(width - a.name.size() + 2, ' ') << a.text << '\n';
    out << "I/O standards: " << (standards.empty() ? "none" : std::to_string(standards.size())) << '\n';
    for (const IOStandard& s : standards) out << "  " << standardText(s) << '\n';
    if (withPins) {
      out << "Pins: " << pins.size() << '\n';
      std::vector<std::vector<std::string>> rows{{"PIN", "BANK", "FLAGS", "DIFF", "I/O STANDARDS"}};
      for (const Pin& p : pins) {
        std::vector<std::string> names;
        for (const IOStandard& s : p.standards) names.push_back(standardText(s));
        rows.push_back({p.number, p.bank.empty() ? "-" : p.bank, p.flags.empty() ? "-" : joined(p.flags, ","),
                        p.uniqueDifferentialId, names.empty() ? "-" : joined(names, "; ")});
      }
      std::vector<size_t> w(4, 0);
      for (const auto& r : rows)
        for (size_t c = 0; c < 4; ++c) w[c] = std::max(w[c], r[c].size());
      for (const auto& r : rows) {
        out << "  ";
        for (size_t c = 0; c < 4; ++c) out << r[c] << std::string(w[c] - r[c].size() + 2, ' ');
        out << r[4] << '\n';
      }
    }
  }
  for (const Failure& f : failures) context.err() << "zolta: info: " << f.operation << ": " << f.message << '\n';
  return failures.empty() ? kExitOk : kExitFailure;
}

}  // namespace zolta::cli
