#include "zolta/hostapp/jtag_device.h"

#include "zolta/bscan/bsdl_reader.h"
#include "zolta/host_ids.h"
#include "zolta/hostapp/ids.h"
#include "zolta/hostapp/jtag_chain.h"
#include "zolta/hostapp/jtag_channel.h"

namespace zolta::hostapp {

namespace h = zabi::host;
namespace b = zolta::bsdl_dispid;

namespace {

// IDCODEs are compared without their version nibble, as the JTAG ID map does.
constexpr uint32_t kIdcodeMask = 0x0FFFFFFFu;

// How well a cell tells its pin's level: cells that capture the pin first, output cells last.
int captureRank(int32_t function) {
  switch (function) {
    case eCellFunction_Input:
    case eCellFunction_BiDir:
    case eCellFunction_Clock:
    case eCellFunction_ObserveOnly: return 2;
    case eCellFunction_Output2:
    case eCellFunction_Output3: return 1;
    default: return 0;
  }
}

DispPtr dispatchOf(const zabi::Var& v) { return v.isEmpty() ? DispPtr() : v.toDispatch(); }

}  // namespace

TJTagDevice::TJTagDevice(const HostLink& link, TJTagChannel* channel, JtagDeviceFacts facts)
    : THostObject(link), channel_(channel), facts_(std::move(facts)) {}

void TJTagDevice::setBsdlFile(std::string path, std::string problem) {
  bsdlFile_ = std::move(path);
  bsdlProblem_ = std::move(problem);
  bsdlRead_ = false;
  entity_.reset();
}

TBSDLEntity* TJTagDevice::entity() {
  if (bsdlRead_) return entity_.get();
  bsdlRead_ = true;
  if (bsdlFile_.empty()) return nullptr;
  const std::string where = "device " + std::to_string(facts_.index) + ": BSDL file " + bsdlFile_;
  try {
    std::unique_ptr<TBSDLEntity> e = ReadBSDLFile(bsdlFile_);
    if (facts_.idcode != 0 && e->IdCode != 0 && (e->IdCode & kIdcodeMask) != (facts_.idcode & kIdcodeMask)) {
      bsdlProblem_ = where + " describes IDCODE " + hexCode(e->IdCode) + ", the device answers " + hexCode(facts_.idcode);
    } else if (facts_.irLength > 0 && e->InstructionLength != facts_.irLength) {
      bsdlProblem_ = where + " has a " + std::to_string(e->InstructionLength) + "-bit instruction register, the device " +
                     std::to_string(facts_.irLength) + " bits";
    } else {
      entity_ = std::move(e);
    }
  } catch (const std::exception& e) {
    bsdlProblem_ = e.what();  // names the file and the line
  }
  return entity_.get();
}

DispPtr TJTagDevice::GetBSDLEntity() {
  TBSDLEntity* e = entity();
  return (e && e->Impl()) ? e->Impl()->dispatchPtr() : DispPtr();
}

void TJTagDevice::buildPlan(const DispPtr& entity) {
  const std::string where = "device " + std::to_string(facts_.index) + ": ";
  auto plan = std::make_unique<SamplingPlan>();
  plan->entity = entity;
  const int32_t ir = zabi::invoke(entity, b::Entity_GetInstructionLength).toInt32();
  if (ir != facts_.irLength)
    throw zabi::DispatchError(where + "the boundary-scan entity has a " + std::to_string(ir) +
                              "-bit instruction register, the device " + std::to_string(facts_.irLength) + " bits");
  const uint32_t idcode = zabi::invoke(entity, b::Entity_GetIdCode).toUInt32();
  if (idcode != 0 && facts_.idcode != 0 && (idcode & kIdcodeMask) != (facts_.idcode & kIdcodeMask))
    throw zabi::DispatchError(where + "the boundary-scan entity describes IDCODE " + hexCode(idcode) +
                              ", the device answers " + hexCode(facts_.idcode));
  plan->sampleCode = zabi::invoke(entity, b::Entity_GetInstruction_SAMPLE).toUInt32();
  if (plan->sampleCode == kInstructionUndefined)
    throw zabi::DispatchError(where + "the boundary-scan entity defines no SAMPLE instruction");
  const int32_t length = zabi::invoke(entity, b::Entity_GetBoundaryLength).toInt32();
  if (length <= 0) throw zabi::DispatchError(where + "the boundary-scan entity has no boundary register");
  plan->boundaryLength = size_t(length);
  plan->safeBits.assign(plan->boundaryLength, false);

  auto cellNumber = [&](const DispPtr& cell) {
    const int32_t n = zabi::invoke(cell, b::Cell_GetCellNumber).toInt32();
    if (n < 0 || n >= length)
      throw zabi::DispatchError(where + "boundary cell " + std::to_string(n) + " lies outside the register of " +
                                std::to_string(length) + " cells");
    return size_t(n);
  };
  const int32_t cells = zabi::invoke(entity, b::Entity_GetBoundaryCellCount).toInt32();
  for (int32_t i = 0; i < cells; ++i) {
    DispPtr cell = dispatchOf(zabi::invoke(entity, b::Entity_GetBoundaryCell, i));
    if (!cell) continue;
    const size_t n = cellNumber(cell);
    plan->safeBits[n] = zabi::invoke(cell, b::Cell_GetSafeBit).toInt32() == eBit_1;
    plan->cells.emplace_back(std::move(cell), n);
  }
  const int32_t pins = zabi::invoke(entity, b::Entity_GetPinCount).toInt32();
  for (int32_t i = 0; i < pins; ++i) {
    DispPtr pin = dispatchOf(zabi::invoke(entity, b::Entity_GetPin, i));
    if (!pin) continue;
    const int32_t count = zabi::invoke(pin, b::ScanPin_GetBoundaryCellCount).toInt32();
    int bestRank = 0;
    size_t best = 0;
    for (int32_t k = 0; k < count; ++k) {
      DispPtr cell = dispatchOf(zabi::invoke(pin, b::ScanPin_GetBoundaryCell, k));
      if (!cell) continue;
      const int rank = captureRank(zabi::invoke(cell, b::Cell_GetCellFunction).toInt32());
      if (rank > bestRank) {
        bestRank = rank;
        best = cellNumber(cell);
      }
    }
    if (bestRank > 0) plan->pins.emplace_back(std::move(pin), best);  // pins without cells keep their value
  }
  plan_ = std::move(plan);
}

bool TJTagDevice::SampleBoundaryScan(DispPtr entity) {
  const std::string where = "device " + std::to_string(facts_.index);
  if (!entity) throw zabi::DispatchError(where + ": no boundary-scan entity to sample into");
  if (!channel_) throw zabi::DispatchError(where + ": its JTAG channel is gone");
  TJTagChannel& channel = *channel_;
  if (channel.lockDepth() > 0) throw zabi::DispatchError(where + ": the JTAG channel is in use");
  if (!plan_ || plan_->entity.get() != entity.get()) buildPlan(entity);

  channel.Lock();
  struct Unlock {
    TJTagChannel& c;
    ~Unlock() { c.Unlock(); }
  } unlock{channel};
  channel.LoadInstruction(int32_t(plan_->sampleCode), int32_t(facts_.index));
  const std::vector<bool> captured = channel.scanDataBits(plan_->safeBits, facts_.index);
  try {
    for (const auto& [cell, n] : plan_->cells) zabi::invoke(cell, b::SetCurrentValue, int32_t(captured[n]));
    for (const auto& [pin, n] : plan_->pins) zabi::invoke(pin, b::SetCurrentValue, int32_t(captured[n]));
  } catch (const zabi::DispatchError&) {
    plan_.reset();  // the entity changed under the plan: read it anew next time
    throw;
  }
  return true;
}

namespace {
const DispatchEntry kJTagDeviceEntries[] = {
    {h::JTagDevice_GetBSDLEntity, &op<&TJTagDevice::GetBSDLEntity>},
    {ids::JTagDevice_SampleBoundaryScan, &op<&TJTagDevice::SampleBoundaryScan>},
};
}  // namespace

const DispatchTable& TJTagDevice::table() {
  static const DispatchTable t = makeTable(&TAbstractSupportService::rootTable(), "JTagDevice", kJTagDeviceEntries);
  return t;
}

}  // namespace zolta::hostapp
