#include "zolta/quartus/bitstream.h"

#include "zolta/quartus/text.h"

namespace zquartus {

namespace {

// xorshift64*: a fixed, portable stream of bytes from a seed.
class ByteStream {
 public:
  explicit ByteStream(uint64_t seed) : state_(seed ? seed : 0x9E3779B97F4A7C15ull) {}
  uint8_t next() {
    if (left_ == 0) {
      state_ ^= state_ >> 12;
      state_ ^= state_ << 25;
      state_ ^= state_ >> 27;
      word_ = state_ * 0x2545F4914F6CDD1Dull;
      left_ = 8;
    }
    const uint8_t b = static_cast<uint8_t>(word_);
    word_ >>= 8;
    --left_;
    return b;
  }

 private:
  uint64_t state_, word_ = 0;
  int left_ = 0;
};

void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

std::vector<uint8_t> configurationData(const MappedDesign& design, const Placement& placement, const Device& device) {
  const Netlist& n = design.netlist();
  const DieResources& die = device.die();

  // Design block: a length-prefixed text naming what the data configures.
  std::string block = "design=" + n.design + "\ndevice=" + device.name() + "\n";
  for (size_t i = 0; i < n.ports.size(); ++i)
    block += "pin=" + n.ports[i].name + " " + placement.pins[i].location.name() + "\n";
  std::vector<uint8_t> out;
  out.insert(out.end(), {'Z', 'Q', 'C', 'F'});
  put32(out, static_cast<uint32_t>(block.size()));
  out.insert(out.end(), block.begin(), block.end());

  // Frames in use: the columns of LABs that hold logic, and the I/O frames (the last eight) when pins exist.
  const int frames = die.configFrames;
  const int logicFrames = frames - 8;
  std::vector<bool> used(static_cast<size_t>(frames), false);
  auto markColumn = [&](int x) { used[static_cast<size_t>(x * logicFrames / die.gridX)] = true; };
  for (const auto& l : placement.luts) markColumn(l.first);
  for (const auto& r : placement.registers) markColumn(r.first);
  for (const PinPlacement& p : placement.pins)
    used[static_cast<size_t>(logicFrames + (p.location.row + p.location.column) % 8)] = true;

  const uint64_t seed = fnv1a(placement.toDatabase(), fnv1a(n.toDatabase()));
  for (int f = 0; f < frames; ++f) {
    put32(out, static_cast<uint32_t>(f));
    if (!used[static_cast<size_t>(f)]) {
      out.insert(out.end(), kFrameBytes - 4, 0);
      continue;
    }
    ByteStream bytes(seed ^ (0x100000001B3ull * static_cast<uint64_t>(f + 1)));
    for (size_t i = 4; i < kFrameBytes; ++i) out.push_back(bytes.next());
  }
  return out;
}

std::vector<uint8_t> compressData(std::span<const uint8_t> data) {
  std::vector<uint8_t> out;
  size_t i = 0;
  std::vector<uint8_t> literal;
  auto flush = [&] {
    for (size_t k = 0; k < literal.size(); k += 128) {
      const size_t len = std::min<size_t>(128, literal.size() - k);
      out.push_back(static_cast<uint8_t>(len - 1));
      out.insert(out.end(), literal.begin() + static_cast<long>(k), literal.begin() + static_cast<long>(k + len));
    }
    literal.clear();
  };
  while (i < data.size()) {
    size_t run = 1;
    while (i + run < data.size() && data[i + run] == data[i] && run < 130) ++run;
    if (run >= 3) {
      flush();
      out.push_back(static_cast<uint8_t>(0x80 | (run - 3)));
      out.push_back(data[i]);
      i += run;
    } else {
      literal.push_back(data[i++]);
    }
  }
  flush();
  return out;
}

std::optional<std::vector<uint8_t>> decompressData(std::span<const uint8_t> coded) {
  std::vector<uint8_t> out;
  size_t i = 0;
  while (i < coded.size()) {
    const uint8_t c = coded[i++];
    if (c < 0x80) {
      const size_t len = static_cast<size_t>(c) + 1;
      if (i + len > coded.size()) return std::nullopt;
      out.insert(out.end(), coded.begin() + static_cast<long>(i), coded.begin() + static_cast<long>(i + len));
      i += len;
    } else {
      if (i >= coded.size()) return std::nullopt;
      out.insert(out.end(), static_cast<size_t>(c & 0x7F) + 3, coded[i++]);
    }
  }
  return out;
}

std::optional<uint32_t> parseUserCode(const std::string& text) {
  std::string t = upper(trim(text));
  if (t.rfind("0X", 0) == 0) t.erase(0, 2);
  else if (!t.empty() && (t[0] == '$' || t[0] == 'H')) t.erase(0, 1);
  else if (t.size() > 1 && t.back() == 'H') t.pop_back();
  if (t.empty() || t.size() > 8 || t.find_first_not_of("0123456789ABCDEF") != std::string::npos) return std::nullopt;
  return static_cast<uint32_t>(std::stoul(t, nullptr, 16));
}

}  // namespace zquartus
