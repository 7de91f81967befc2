#include "zolta/quartus/edif.h"

#include <functional>
#include <map>
#include <numeric>
#include <optional>

#include "zolta/quartus/text.h"

namespace zquartus {

namespace {

// ---- s-expressions --------------------------------------------------------------------------------

struct SExpr {
  bool list = false;
  bool string = false;  // a quoted string atom
  std::string atom;
  int line = 0;
  std::vector<SExpr> items;

  // The keyword of a list: its first atom, lower case.
  std::string keyword() const { return list && !items.empty() && !items[0].list ? lower(items[0].atom) : ""; }
  // The first child list with this keyword, or null.
  const SExpr* child(std::string_view key) const {
    for (size_t i = 1; i < items.size(); ++i)
      if (items[i].keyword() == key) return &items[i];
    return nullptr;
  }
};

class SExprParser {
 public:
  SExprParser(const std::string& text, const std::string& file) : text_(text), file_(file) {}

  SExpr parseDocument() {
    skipSpace();
    if (pos_ >= text_.size()) fail("the file is empty");
    if (text_[pos_] != '(') fail("expected '(' at the start of the netlist");
    SExpr root = parse(0);
    skipSpace();
    if (pos_ < text_.size()) fail("unexpected text after the end of the netlist");
    return root;
  }

 private:
  [[noreturn]] void fail(const std::string& why) {
    throw NetlistError("EDIF syntax error in file " + file_ + " at line " + std::to_string(line_) + ": " + why);
  }

  void skipSpace() {
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == '\n') ++line_;
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f') ++pos_;
      else break;
    }
  }

  SExpr parse(int depth) {
    if (depth > 200) fail("lists nested too deeply");
    skipSpace();
    if (pos_ >= text_.size()) fail("unexpected end of file");
    SExpr e;
    e.line = line_;
    const char c = text_[pos_];
    if (c == '(') {
      ++pos_;
      e.list = true;
      for (;;) {
        skipSpace();
        if (pos_ >= text_.size()) fail("unexpected end of file: a list opened at line " + std::to_string(e.line) +
                                       " is not closed");
        if (text_[pos_] == ')') {
          ++pos_;
          break;
        }
        e.items.push_back(parse(depth + 1));
      }
      if (e.items.empty()) fail("empty list");
      if (e.items[0].list || e.items[0].string) fail("a list must start with a keyword");
      return e;
    }
    if (c == '"') {
      ++pos_;
      e.string = true;
      for (;;) {
        if (pos_ >= text_.size()) fail("unterminated string opened at line " + std::to_string(e.line));
        const char s = text_[pos_++];
        if (s == '"') break;
        if (s == '\n') ++line_;
        if (s == '%') {
          // %n n ...%: characters by their ASCII codes.
          const size_t end = text_.find('%', pos_);
          if (end == std::string::npos) fail("unterminated %...% escape in a string");
          std::string codes = text_.substr(pos_, end - pos_);
          pos_ = end + 1;
          size_t i = 0;
          while (i < codes.size()) {
            while (i < codes.size() && codes[i] == ' ') ++i;
            size_t j = i;
            while (j < codes.size() && codes[j] >= '0' && codes[j] <= '9') ++j;
            if (j == i) {
              if (i < codes.size()) fail("bad %...% escape in a string");
              break;
            }
            const int code = std::stoi(codes.substr(i, j - i));
            if (code < 1 || code > 255) fail("bad character code in a %...% escape");
            e.atom += static_cast<char>(code);
            i = j;
          }
          continue;
        }
        e.atom += s;
      }
      return e;
    }
    while (pos_ < text_.size()) {
      const char a = text_[pos_];
      if (a == '(' || a == ')' || a == '"' || a == ' ' || a == '\t' || a == '\r' || a == '\n' || a == '\f') break;
      e.atom += a;
      ++pos_;
    }
    return e;
  }

  const std::string& text_;
  const std::string& file_;
  size_t pos_ = 0;
  int line_ = 1;
};

// ---- EDIF model -----------------------------------------------------------------------------------

// A name: the identifier (its key, lower case without '&') and the text shown.
struct Name {
  std::string key;
  std::string display;
};

struct Port {
  Name name;
  PortDir dir = PortDir::InOut;
  int width = 0;  // 0 for a scalar port
  std::vector<std::string> bits;  // names of the bits, member order (one entry for a scalar)
};

struct PortRef {
  std::string port;      // key
  int member = -1;       // array member, -1 for the whole (scalar) port
  std::string instance;  // key; empty for the cell's own port
  int line = 0;
};

struct Net {
  Name name;
  std::vector<PortRef> refs;
  int line = 0;
};

struct Instance {
  Name name;
  std::string library;  // key; empty: the library of the instantiating cell
  std::string cell;     // key
  int line = 0;
};

struct CellDef {
  Name name;
  std::string library;  // key
  bool hasContents = false;
  std::vector<Port> ports;
  std::vector<Instance> instances;
  std::vector<Net> nets;
  int line = 0;

  const Port* port(const std::string& key) const {
    for (const Port& p : ports)
      if (p.name.key == key) return &p;
    return nullptr;
  }
};

std::string identifierKey(std::string id) {
  if (!id.empty() && id[0] == '&') id.erase(0, 1);
  return lower(id);
}

std::string stripAmp(std::string id) {
  if (!id.empty() && id[0] == '&') id.erase(0, 1);
  return id;
}

// A bus range written after a name: "(7:0)", "[7:0]", "<7:0>".
struct Range {
  std::string base;
  int msb = 0, lsb = 0;
};

std::optional<Range> splitRange(const std::string& s) {
  if (s.size() < 5) return std::nullopt;
  const char close = s.back();
  const char open = close == ')' ? '(' : close == ']' ? '[' : close == '>' ? '<' : 0;
  if (!open) return std::nullopt;
  const size_t o = s.rfind(open);
  if (o == std::string::npos || o == 0) return std::nullopt;
  const std::string inner = s.substr(o + 1, s.size() - o - 2);
  const size_t colon = inner.find(':');
  if (colon == std::string::npos) return std::nullopt;
  const std::string a = trim(inner.substr(0, colon)), b = trim(inner.substr(colon + 1));
  if (a.empty() || b.empty() || a.find_first_not_of("0123456789") != std::string::npos ||
      b.find_first_not_of("0123456789") != std::string::npos || a.size() > 6 || b.size() > 6)
    return std::nullopt;
  return Range{s.substr(0, o), std::stoi(a), std::stoi(b)};
}

class ModelBuilder {
 public:
  explicit ModelBuilder(const std::string& file) : file_(file) {}

  [[noreturn]] void fail(int line, const std::string& why) const {
    throw NetlistError("EDIF file " + file_ + ", line " + std::to_string(line) + ": " + why);
  }

  // An atom, or (rename id "text"); arrays of names handled by the callers.
  Name name(const SExpr& e) const {
    if (!e.list) {
      if (e.atom.empty()) fail(e.line, "empty name");
      return Name{identifierKey(e.atom), stripAmp(e.atom)};
    }
    if (e.keyword() == "rename" && e.items.size() >= 3) {
      Name n{identifierKey(e.items[1].list ? "" : e.items[1].atom), e.items[2].atom};
      if (n.key.empty()) fail(e.line, "rename without an identifier");
      if (n.display.empty()) n.display = stripAmp(e.items[1].atom);
      return n;
    }
    if (e.keyword() == "name" && e.items.size() >= 2) return name(e.items[1]);
    fail(e.line, "expected a name, found (" + e.keyword() + " ...)");
  }

  Port port(const SExpr& e) const {
    if (e.items.size() < 2) fail(e.line, "port without a name");
    Port p;
    const SExpr& n = e.items[1];
    if (n.list && n.keyword() == "array") {
      if (n.items.size() < 3 || n.items[2].list) fail(n.line, "array port without a size");
      p.name = name(n.items[1]);
      const std::string& size = n.items[2].atom;
      if (size.empty() || size.find_first_not_of("0123456789") != std::string::npos || size.size() > 6 ||
          std::stoi(size) < 1)
        fail(n.line, "bad array size '" + size + "'");
      p.width = std::stoi(size);
      const std::optional<Range> r = splitRange(p.name.display);
      const std::string base = r ? r->base : p.name.display;
      for (int i = 0; i < p.width; ++i) {
        int index = i;
        if (r) index = r->msb >= r->lsb ? r->msb - i : r->msb + i;
        p.bits.push_back(base + "[" + std::to_string(index) + "]");
      }
    } else {
      p.name = name(n);
      p.bits.push_back(busBitName(p.name.display));
    }
    if (const SExpr* d = e.child("direction")) {
      const std::string dir = d->items.size() > 1 ? lower(d->items[1].atom) : "";
      if (dir == "input") p.dir = PortDir::In;
      else if (dir == "output") p.dir = PortDir::Out;
      else if (dir == "inout") p.dir = PortDir::InOut;
      else fail(d->line, "unknown port direction '" + dir + "'");
    }
    return p;
  }

  PortRef portRef(const SExpr& e) const {
    if (e.items.size() < 2) fail(e.line, "portRef without a port");
    PortRef r;
    r.line = e.line;
    const SExpr& p = e.items[1];
    if (p.list && p.keyword() == "member") {
      if (p.items.size() < 3 || p.items[2].list) fail(p.line, "member without an index");
      r.port = name(p.items[1]).key;
      const std::string& idx = p.items[2].atom;
      if (idx.empty() || idx.find_first_not_of("0123456789") != std::string::npos || idx.size() > 6)
        fail(p.line, "bad member index '" + idx + "'");
      r.member = std::stoi(idx);
    } else {
      r.port = name(p).key;
    }
    if (const SExpr* inst = e.child("instanceref")) {
      if (inst->items.size() < 2) fail(inst->line, "instanceRef without a name");
      r.instance = name(inst->items[1]).key;
    }
    return r;
  }

  void nets(const SExpr& e, std::vector<Net>& out) const {
    const std::string k = e.keyword();
    if (k == "netbundle") {
      if (const SExpr* list = e.child("listofnets"))
        for (size_t i = 1; i < list->items.size(); ++i) nets(list->items[i], out);
      return;
    }
    if (k != "net") return;
    if (e.items.size() < 2) fail(e.line, "net without a name");
    Net n;
    n.line = e.line;
    n.name = name(e.items[1]);
    n.name.display = busBitName(n.name.display);
    if (const SExpr* joined = e.child("joined"))
      for (size_t i = 1; i < joined->items.size(); ++i)
        if (joined->items[i].keyword() == "portref") n.refs.push_back(portRef(joined->items[i]));
    out.push_back(std::move(n));
  }

  CellDef cell(const SExpr& e, const std::string& library) const {
    if (e.items.size() < 2) fail(e.line, "cell without a name");
    CellDef c;
    c.line = e.line;
    c.name = name(e.items[1]);
    c.library = library;
    const SExpr* view = e.child("view");
    if (!view) return c;
    if (const SExpr* iface = view->child("interface"))
      for (size_t i = 1; i < iface->items.size(); ++i)
        if (iface->items[i].keyword() == "port") c.ports.push_back(port(iface->items[i]));
    if (const SExpr* contents = view->child("contents")) {
      c.hasContents = true;
      for (size_t i = 1; i < contents->items.size(); ++i) {
        const SExpr& item = contents->items[i];
        const std::string k = item.keyword();
        if (k == "instance") {
          if (item.items.size() < 2) fail(item.line, "instance without a name");
          Instance inst;
          inst.line = item.line;
          inst.name = name(item.items[1]);
          const SExpr* vr = item.child("viewref");
          const SExpr* cr = vr ? vr->child("cellref") : item.child("cellref");
          if (!cr || cr->items.size() < 2) fail(item.line, "instance '" + inst.name.display + "' names no cell");
          inst.cell = name(cr->items[1]).key;
          if (const SExpr* lr = cr->child("libraryref"))
            if (lr->items.size() >= 2) inst.library = name(lr->items[1]).key;
          c.instances.push_back(std::move(inst));
        } else if (k == "net" || k == "netbundle") {
          nets(item, c.nets);
        }
      }
    }
    return c;
  }

 private:
  const std::string& file_;
};

// Union-find over the nets of the flat netlist.
class NetSets {
 public:
  int make(std::string name, int depth) {
    parent_.push_back(static_cast<int>(parent_.size()));
    names_.push_back(std::move(name));
    depth_.push_back(depth);
    return parent_.back();
  }
  int find(int x) {
    while (parent_[static_cast<size_t>(x)] != x) {
      parent_[static_cast<size_t>(x)] = parent_[static_cast<size_t>(parent_[static_cast<size_t>(x)])];
      x = parent_[static_cast<size_t>(x)];
    }
    return x;
  }
  void join(int a, int b) {
    a = find(a);
    b = find(b);
    if (a == b) return;
    // The representative keeps the name from the highest level of the hierarchy (a top port's first).
    if (std::make_pair(depth_[static_cast<size_t>(b)], names_[static_cast<size_t>(b)].empty()) <
        std::make_pair(depth_[static_cast<size_t>(a)], names_[static_cast<size_t>(a)].empty()))
      std::swap(a, b);
    parent_[static_cast<size_t>(b)] = a;
  }
  const std::string& name(int x) const { return names_[static_cast<size_t>(x)]; }
  size_t size() const { return parent_.size(); }

 private:
  std::vector<int> parent_;
  std::vector<std::string> names_;
  std::vector<int> depth_;
};

}  // namespace

std::string busBitName(const std::string& name) {
  if (name.size() < 4) return name;
  const char close = name.back();
  const char open = close == ')' ? '(' : close == '>' ? '<' : close == ']' ? '[' : 0;
  if (!open) return name;
  const size_t o = name.rfind(open);
  if (o == std::string::npos || o == 0 || o + 2 >= name.size()) return name;
  const std::string index = name.substr(o + 1, name.size() - o - 2);
  if (index.find_first_not_of("0123456789") != std::string::npos) return name;
  return name.substr(0, o) + "[" + index + "]";
}

struct EdifReader::Model {
  std::string file;
  // library key -> cell key -> definition
  std::map<std::string, std::map<std::string, CellDef>> libraries;
  std::string designLibrary, designCell;
  int designLine = 0;

  const CellDef* findCell(const std::string& library, const std::string& cell) const {
    auto lib = libraries.find(library);
    if (lib != libraries.end()) {
      auto c = lib->second.find(cell);
      if (c != lib->second.end()) return &c->second;
    }
    return nullptr;
  }
  const CellDef* findEntity(const std::string& name) const {
    const std::string key = identifierKey(name);
    for (const auto& [lk, cells] : libraries)
      for (const auto& [ck, c] : cells)
        if (c.hasContents && (ck == key || sameText(c.name.display, name))) return &c;
    return nullptr;
  }
};

EdifReader::EdifReader(const std::string& text, const std::string& file) : model_(new Model) {
  try {
    model_->file = file;
    SExprParser parser(text, file);
    const SExpr root = parser.parseDocument();
    ModelBuilder b(file);
    if (root.keyword() != "edif") b.fail(root.line, "the netlist does not start with (edif ...)");
    for (size_t i = 1; i < root.items.size(); ++i) {
      const SExpr& e = root.items[i];
      const std::string k = e.keyword();
      if (k == "library" || k == "external") {
        if (e.items.size() < 2) b.fail(e.line, "library without a name");
        const std::string lib = b.name(e.items[1]).key;
        auto& cells = model_->libraries[lib];
        for (size_t j = 2; j < e.items.size(); ++j) {
          if (e.items[j].keyword() != "cell") continue;
          CellDef c = b.cell(e.items[j], lib);
          if (k == "external") c.hasContents = false;
          const std::string key = c.name.key;
          if (cells.count(key)) b.fail(c.line, "cell '" + c.name.display + "' is defined twice in library '" + lib + "'");
          if (c.hasContents) source_.entities.push_back(c.name.display);
          cells.emplace(key, std::move(c));
        }
      } else if (k == "design") {
        const SExpr* cr = e.child("cellref");
        if (!cr || cr->items.size() < 2) b.fail(e.line, "design statement names no cell");
        model_->designCell = b.name(cr->items[1]).key;
        if (const SExpr* lr = cr->child("libraryref"))
          if (lr->items.size() >= 2) model_->designLibrary = b.name(lr->items[1]).key;
        model_->designLine = e.line;
      }
    }
    if (!model_->designCell.empty()) {
      const CellDef* d = nullptr;
      if (!model_->designLibrary.empty()) d = model_->findCell(model_->designLibrary, model_->designCell);
      else d = model_->findEntity(model_->designCell);
      if (!d) b.fail(model_->designLine, "the design statement names cell '" + model_->designCell + "', which is not defined");
      source_.designName = d->name.display;
    }
  } catch (...) {
    delete model_;
    throw;
  }
}

EdifReader::~EdifReader() { delete model_; }

bool EdifReader::hasEntity(const std::string& name) const { return model_->findEntity(name) != nullptr; }

Netlist EdifReader::elaborate(const std::string& topName) const {
  const Model& m = *model_;
  ModelBuilder b(m.file);
  const std::string wanted = topName.empty() ? source_.designName : topName;
  const CellDef* top = wanted.empty() ? nullptr : m.findEntity(wanted);
  if (!top) throw NetlistError("EDIF file " + m.file + " defines no entity '" + wanted + "'");

  Netlist out;
  out.design = top->name.display;
  NetSets sets;
  std::vector<int> portSets;
  std::vector<std::vector<int>> cellPinSets;

  // Top-level ports become nets named after their bits.
  std::map<std::string, std::vector<int>> topBinding;  // port key -> net set per bit
  for (const Port& p : top->ports) {
    std::vector<int>& bits = topBinding[p.name.key];
    for (const std::string& bit : p.bits) {
      const int s = sets.make(bit, 0);
      bits.push_back(s);
      out.ports.push_back(TopPort{bit, p.dir, -1});
      portSets.push_back(s);
    }
  }

  std::vector<const CellDef*> stack;
  // Elaborates `cell` whose ports are bound to the net sets in `binding`; instance names get `prefix`.
  std::function<void(const CellDef&, const std::map<std::string, std::vector<int>>&, const std::string&, int)>
      expand = [&](const CellDef& cell, const std::map<std::string, std::vector<int>>& binding,
                   const std::string& prefix, int depth) {
        for (const CellDef* open : stack)
          if (open == &cell) b.fail(cell.line, "cell '" + cell.name.display + "' instantiates itself");
        stack.push_back(&cell);

        // Each instance: its cell definition and the net sets of its ports.
        struct Placed {
          const CellDef* def;
          std::string name;  // as shown
          std::map<std::string, std::vector<int>> ports;
        };
        std::map<std::string, Placed> placed;
        for (const Instance& inst : cell.instances) {
          const std::string lib = inst.library.empty() ? cell.library : inst.library;
          const CellDef* def = m.findCell(lib, inst.cell);
          if (!def && inst.library.empty())
            for (const auto& [lk, cells] : m.libraries)
              if (!def) def = m.findCell(lk, inst.cell);
          if (!def)
            b.fail(inst.line, "instance '" + inst.name.display + "' instantiates undefined entity '" + inst.cell + "'");
          if (placed.count(inst.name.key)) b.fail(inst.line, "instance '" + inst.name.display + "' is declared twice");
          Placed p{def, inst.name.display, {}};
          const std::string instName = prefix + inst.name.display;
          for (const Port& port : def->ports) {
            std::vector<int>& bits = p.ports[port.name.key];
            for (size_t i = 0; i < port.bits.size(); ++i) bits.push_back(sets.make("", depth + 1));
          }
          if (!def->hasContents) {
            Cell leaf;
            leaf.name = instName;
            leaf.type = def->name.display;
            std::vector<int> pinSets;
            for (const Port& port : def->ports)
              for (size_t i = 0; i < port.bits.size(); ++i) {
                leaf.pins.push_back(CellPin{port.bits[i], port.dir == PortDir::InOut ? PortDir::InOut : port.dir, -1});
                pinSets.push_back(p.ports[port.name.key][i]);
              }
            leaf.cls = classifyLeaf(leaf.type, leaf.pins);
            out.cells.push_back(std::move(leaf));
            cellPinSets.push_back(std::move(pinSets));
          }
          placed.emplace(inst.name.key, std::move(p));
        }

        for (const Net& net : cell.nets) {
          const int s = sets.make(depth == 0 ? net.name.display : prefix + net.name.display, depth);
          for (const PortRef& r : net.refs) {
            const std::vector<int>* bits = nullptr;
            const Port* port = nullptr;
            if (r.instance.empty()) {
              port = cell.port(r.port);
              auto it = binding.find(r.port);
              if (!port || it == binding.end())
                b.fail(r.line, "net '" + net.name.display + "' refers to port '" + r.port + "', which cell '" +
                                   cell.name.display + "' does not have");
              bits = &it->second;
            } else {
              auto inst = placed.find(r.instance);
              if (inst == placed.end())
                b.fail(r.line, "net '" + net.name.display + "' refers to undeclared instance '" + r.instance + "'");
              port = inst->second.def->port(r.port);
              if (!port)
                b.fail(r.line, "net '" + net.name.display + "' refers to port '" + r.port + "', which cell '" +
                                   inst->second.def->name.display + "' does not have");
              bits = &inst->second.ports.at(r.port);
            }
            if (r.member >= 0) {
              if (port->width == 0 || r.member >= port->width)
                b.fail(r.line, "member " + std::to_string(r.member) + " of port '" + port->name.display +
                                   "' does not exist");
              sets.join(s, (*bits)[static_cast<size_t>(r.member)]);
            } else {
              if (port->width > 0)
                b.fail(r.line, "net '" + net.name.display + "' joins the whole array port '" + port->name.display +
                                   "'; refer to its members");
              sets.join(s, (*bits)[0]);
            }
          }
        }

        for (const Instance& inst : cell.instances) {
          const Placed& p = placed.at(inst.name.key);
          if (p.def->hasContents) expand(*p.def, p.ports, prefix + p.name + "|", depth + 1);
        }
        stack.pop_back();
      };
  expand(*top, topBinding, "", 0);

  // Number the net sets that anything is attached to; name unnamed ones after their first leaf pin.
  std::map<int, int> index;
  auto netOf = [&](int set, const std::string& fallback) {
    const int root = sets.find(set);
    auto it = index.find(root);
    if (it != index.end()) return it->second;
    const int n = static_cast<int>(out.nets.size());
    out.nets.push_back(sets.name(root).empty() ? fallback : sets.name(root));
    index.emplace(root, n);
    return n;
  };
  for (size_t i = 0; i < out.ports.size(); ++i) out.ports[i].net = netOf(portSets[i], out.ports[i].name);
  // A leaf pin whose set joins nothing else stays unconnected.
  std::vector<int> members(sets.size(), 0);
  for (size_t s = 0; s < sets.size(); ++s) ++members[static_cast<size_t>(sets.find(static_cast<int>(s)))];
  for (size_t c = 0; c < out.cells.size(); ++c)
    for (size_t k = 0; k < out.cells[c].pins.size(); ++k) {
      const int set = cellPinSets[c][k];
      if (members[static_cast<size_t>(sets.find(set))] == 1) continue;
      out.cells[c].pins[k].net = netOf(set, out.cells[c].name + "|" + out.cells[c].pins[k].port);
    }
  return out;
}

}  // namespace zquartus
