// The host's JTAG device: one position on a channel's chain, what the chain scan learnt about it, and
// its boundary-scan description.
//
// Dispatch operations:
//   GetBSDLEntity (503550)          the device's BSDL entity (its counted IBSDLEntity wrapper), read on
//                                   first use from the file the host's BSDL library found; none when
//                                   there is no file or it cannot be read (bsdlProblem() says why).
//   SampleBoundaryScan (503566)     (entity) -> true: loads SAMPLE/PRELOAD into the device, shifts its
//                                   boundary register once (the others in BYPASS) and writes the
//                                   captured values into the given entity: every boundary cell's
//                                   current value (509024 on the cell) and every scan pin's, taken
//                                   from the cell that captures the pin's level (an input, bidirectional,
//                                   clock or observe-only cell; else its output cell). The safe values
//                                   of the cells are shifted in, so the preload stage holds safe values.
//                                   The entity may be the host's own or one a plug-in built; its
//                                   geometry is read once per entity through dispatch. Refused with an
//                                   error when the channel is gone, locked by a routine, or broken, or
//                                   when the entity describes another IDCODE or instruction length
//                                   than the device's, or has no SAMPLE instruction or boundary register.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zolta/bscan/bsdl_model.h"
#include "zolta/hostapp/host_object.h"

namespace zolta::hostapp {

class TJTagChannel;

// What the chain scan found at one chain index.
struct JtagDeviceFacts {
  size_t index = 0;
  uint32_t idcode = 0;            // 0: the device answered no IDCODE (BYPASS after reset)
  int irLength = 0;
  std::vector<std::string> idNames;  // the names the host's JTAG ID map gives the IDCODE
};

class TJTagDevice : public THostObject {
 public:
  TJTagDevice(const HostLink& link, TJTagChannel* channel, JtagDeviceFacts facts);

  DispPtr GetBSDLEntity();
  bool SampleBoundaryScan(DispPtr entity);

  const JtagDeviceFacts& facts() const { return facts_; }
  // The BSDL file chosen for the device (empty for none) and, when there is none or it did not read,
  // the reason.
  void setBsdlFile(std::string path, std::string problem = {});
  const std::string& bsdlFile() const { return bsdlFile_; }
  const std::string& bsdlProblem() const { return bsdlProblem_; }
  // The host's entity, read on first use; null when there is none.
  TBSDLEntity* entity();

  // The channel clears this when it goes; the device then refuses to sample.
  void detachChannel() { channel_ = nullptr; }

  static const DispatchTable& table();
  const DispatchTable& dispatchTable() const override { return table(); }

 private:
  // The geometry of one entity, read through dispatch once.
  struct SamplingPlan {
    DispPtr entity;                 // held so that the pointer compared below stays the same object
    uint32_t sampleCode = 0;
    size_t boundaryLength = 0;
    std::vector<bool> safeBits;     // shifted in
    std::vector<std::pair<DispPtr, size_t>> cells;  // wrapper, cell number
    std::vector<std::pair<DispPtr, size_t>> pins;   // wrapper, cell number of its value
  };
  void buildPlan(const DispPtr& entity);

  TJTagChannel* channel_;
  JtagDeviceFacts facts_;
  std::string bsdlFile_;
  std::string bsdlProblem_;
  bool bsdlRead_ = false;
  std::unique_ptr<TBSDLEntity> entity_;
  std::unique_ptr<SamplingPlan> plan_;
};

}  // namespace zolta::hostapp
