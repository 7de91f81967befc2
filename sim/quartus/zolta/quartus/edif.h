// Reader of EDIF 2 0 0 netlists as synthesis tools write them: libraries of leaf cells (an `external`
// library, or cells without contents), cells with contents (hierarchy), scalar and array ports, nets of
// `portRef`s, `rename` for names EDIF identifiers cannot carry, and the `design` statement naming the top.
// EDIF identifiers are case-insensitive; the names shown are the `rename` strings where given, with bus
// indices written "LED[3]" however the netlist wrote them ("LED(3)", "LED<3>").
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "zolta/quartus/netlist.h"

namespace zquartus {

struct EdifSource {
  std::string designName;              // the cell the `design` statement names (empty when absent)
  std::vector<std::string> entities;   // cells with contents, in file order
};

// Parses `text` (the contents of `file`, which only names it in messages). Throws NetlistError naming
// the file and line on a syntax error or a reference to something the netlist does not define.
class EdifReader {
 public:
  EdifReader(const std::string& text, const std::string& file);
  ~EdifReader();
  EdifReader(const EdifReader&) = delete;
  EdifReader& operator=(const EdifReader&) = delete;

  const EdifSource& source() const { return source_; }
  // Whether a cell with contents is called `name` (case-insensitive).
  bool hasEntity(const std::string& name) const;
  // The flattened netlist below entity `top` (empty: the design statement's cell). Throws NetlistError
  // when the top is unknown, an instance names an undefined cell, or the hierarchy is recursive.
  Netlist elaborate(const std::string& top) const;

 private:
  struct Model;
  Model* model_;
  EdifSource source_;
};

// Normalises a bus bit name: "LED(3)", "LED<3>", "LED[3]" -> "LED[3]".
std::string busBitName(const std::string& name);

}  // namespace zquartus
