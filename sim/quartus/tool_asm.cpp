// The Assembler: turns the placed design into the raw bit file <revision>.rbf for the project's device,
// with the project's JTAG user code and, when ON_CHIP_BITSTREAM_DECOMPRESSION is on, compressed data.
#include "zolta/quartus/bitstream.h"
#include "zolta/quartus/modules.h"
#include "zolta/quartus/text.h"
#include "zolta/sim/crc32.h"
#include "zolta/sim/rbf.h"

namespace zquartus {

namespace fs = std::filesystem;

namespace {

bool isOn(const std::optional<std::string>& v) { return v && (sameText(trim(*v), "ON") || sameText(trim(*v), "TRUE")); }

}  // namespace

std::optional<ModuleOutput> runAsmModule(ModuleRun& run) {
  Project& project = run.project;
  MessageLog& log = run.log;
  const Settings& settings = project.settings();
  const std::optional<PlacedDesign> placed = loadPlacedDesign(project, log);
  if (!placed) return std::nullopt;
  const Device& device = placed->device;
  const Netlist& netlist = *placed->netlist;

  // JTAG user code: the family's assignment (STRATIX_JTAG_USER_CODE and the like), else one derived from
  // the design name.
  std::optional<uint32_t> userCode;
  std::string userCodeSource = "derived from the design name";
  for (const Assignment& a : settings.all()) {
    const bool named = endsWithNoCase(a.name, "JTAG_USER_CODE") || sameText(a.name, "USER_CODE");
    if (a.kind != AssignmentKind::Global || a.disabled || !a.sectionId.empty() || !named) continue;
    userCode = parseUserCode(a.value);
    if (!userCode) {
      log.error(115001, "Illegal value " + inQuotes(a.value) + " for assignment " + a.name +
                            ": a JTAG user code is up to eight hexadecimal digits");
      return std::nullopt;
    }
    userCodeSource = a.name;
  }
  const bool compress = isOn(settings.global("ON_CHIP_BITSTREAM_DECOMPRESSION"));
  const std::vector<uint8_t> data = configurationData(*placed->mapped, placed->placement, device);
  const uint32_t checksum = zsim::Crc32::of(data.data(), data.size());
  if (isOn(settings.global("USE_CHECKSUM_AS_USERCODE"))) {
    userCode = checksum;
    userCodeSource = "USE_CHECKSUM_AS_USERCODE";
  }
  if (!userCode) userCode = static_cast<uint32_t>(fnv1a(upper(netlist.design)));

  log.info(115031, "Writing out detailed assembly data for power analysis");
  log.info(115030, "Assembler is generating device programming files");
  const std::vector<uint8_t> payload = compress ? compressData(data) : data;
  const fs::path rbf = outputFile(project, "rbf");
  try {
    std::error_code ec;
    fs::create_directories(rbf.parent_path(), ec);
    zsim::writeRbf(rbf, device.name(), *userCode, payload);
  } catch (const std::exception& e) {
    log.error(115002, std::string("Can't write raw binary file: ") + e.what());
    return std::nullopt;
  }
  log.info(115016, "Generated raw binary file " + rbf.filename().string() + " (" + thousands(fs::file_size(rbf)) +
                       " bytes" + (compress ? ", compressed" : "") + ", JTAG user code " + hex32(*userCode) + ")");

  ModuleOutput out{Report("Assembler report for " + project.revision(), run.version), {}};
  out.report.table("Assembler Summary", {}, summaryHead("Assembler Status", project, netlist.design, device.name(), run.version));
  out.report.table("Assembler Settings", {"Option", "Setting", "Default Value"},
                   {{"Use smart compilation", "Off", "Off"},
                    {"Enable compact report table", "Off", "Off"},
                    {"Generate compressed bitstreams", compress ? "On" : "Off", "On"},
                    {"Generate raw binary file", "On", "Off"},
                    {"Use Checksum as User Code", isOn(settings.global("USE_CHECKSUM_AS_USERCODE")) ? "On" : "Off", "Off"},
                    {"JTAG user code for target device", hex32(*userCode).substr(2), "Ffffffff"}});
  out.report.table("Assembler Generated Files", {"File Name"}, {{fs::absolute(rbf).string()}});
  out.report.table("Assembler Device Options: " + rbf.filename().string(), {"Option", "Setting"},
                   {{"Device", device.name()},
                    {"JTAG usercode", hex32(*userCode)},
                    {"JTAG usercode source", userCodeSource},
                    {"Checksum", hex32(checksum)},
                    {"Compression", compress ? "On" : "Off"},
                    {"Configuration data bytes", thousands(payload.size())}});
  out.summary = {{"Assembler Status", statusText()},
                 {run.version.product() + " Version", run.version.shortText()},
                 {"Revision Name", project.revision()},
                 {"Device", device.name()},
                 {"JTAG usercode", hex32(*userCode)},
                 {"Checksum", hex32(checksum)}};
  return out;
}

}  // namespace zquartus
