// libFuzzer target: the BSDL reader must answer any input with an entity or a BSDLReadError; a crash,
// a sanitizer report or any other exception is a finding. Saved findings go to fuzz/corpus/bsdl/,
// which the bscan unit tests replay.
//   build-fuzz/bin/bsdl_fuzz -dict=fuzz/bsdl_fuzz.dict -max_total_time=300 fuzz/corpus/bsdl
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "zolta/bscan/bsdl_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    auto entity = zolta::ReadBSDLText(text, "fuzz.bsd");
    // Walk the graph the way the viewer does: texts of every object and the cross links.
    size_t n = 0;
    for (const auto& pin : entity->Pins()) {
      n += pin->GetState_Description().size();
      for (const zolta::TBoundaryCell* cell : pin->BoundaryCells) n += cell->Pin == pin.get();
    }
    for (const auto& cell : entity->BoundaryCells()) {
      n += cell->GetState_Description().size();
      if (cell->ControlCell) n += size_t(cell->ControlCell->CellNumber);
    }
    for (const auto& reg : entity->RegisterAssociations()) n += reg->GetState_Description().size();
    volatile size_t sink = n;
    (void)sink;
  } catch (const zolta::BSDLReadError&) {
  }
  return 0;
}
