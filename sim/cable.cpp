#include "zolta/sim/cable.h"

#include <charconv>

#include "zolta/sim/chain.h"
#include "zolta/sim/error.h"
#include "zolta/sim/remote_bitbang.h"

namespace zsim {

namespace {

inline bool bitAt(const uint8_t* bits, size_t i) { return bits && ((bits[i >> 3] >> (i & 7)) & 1u); }

}  // namespace

// ---- defaults over the narrow interface ----------------------------------------------------------

void Cable::writePins(const uint8_t* levels, size_t count) {
  for (size_t i = 0; i < count; ++i) write(levels[i] & 4, levels[i] & 2, levels[i] & 1);
}

void Cable::shift(const uint8_t* tms, const uint8_t* tdi, uint8_t* tdo, size_t count) {
  if (tdo && count) tdo[(count - 1) >> 3] = 0;
  for (size_t i = 0; i < count; ++i) {
    const bool m = bitAt(tms, i), d = bitAt(tdi, i);
    write(false, m, d);
    if (tdo) {
      const uint8_t mask = static_cast<uint8_t>(1u << (i & 7));
      if (readTdo())
        tdo[i >> 3] |= mask;
      else
        tdo[i >> 3] &= static_cast<uint8_t>(~mask);
    }
    write(true, m, d);
  }
}

void Cable::setResets(bool, bool) {}
void Cable::flush() {}

// ---- in-process cable ----------------------------------------------------------------------------

SimCable::SimCable(std::shared_ptr<Chain> chain) : chain_(std::move(chain)) {
  if (!chain_) throw SimError("simulated cable needs a chain");
}

std::string SimCable::description() const { return "simulated chain " + chain_->describe(); }

void SimCable::write(bool tck, bool tms, bool tdi) { chain_->setPins(tck, tms, tdi); }

bool SimCable::readTdo() { return chain_->tdo(); }

void SimCable::writePins(const uint8_t* levels, size_t count) {
  Chain& c = *chain_;
  for (size_t i = 0; i < count; ++i) c.setPins(levels[i] & 4, levels[i] & 2, levels[i] & 1);
}

void SimCable::shift(const uint8_t* tms, const uint8_t* tdi, uint8_t* tdo, size_t count) {
  Chain& c = *chain_;
  if (tdo && count) tdo[(count - 1) >> 3] = 0;
  for (size_t i = 0; i < count; ++i) {
    const bool m = bitAt(tms, i), d = bitAt(tdi, i);
    c.setPins(false, m, d);
    if (tdo) {
      const uint8_t mask = static_cast<uint8_t>(1u << (i & 7));
      if (c.tdo())
        tdo[i >> 3] |= mask;
      else
        tdo[i >> 3] &= static_cast<uint8_t>(~mask);
    }
    c.setPins(true, m, d);
  }
}

void SimCable::setResets(bool trst, bool) { chain_->setTrst(trst); }

// ---- cable by name -------------------------------------------------------------------------------

std::unique_ptr<Cable> openCable(std::string_view text) {
  if (text.empty() || text == "sim") return std::make_unique<SimCable>(buildChain(defaultChainSpec()));
  if (text.starts_with("sim:")) return std::make_unique<SimCable>(buildChain(text.substr(4)));
  constexpr std::string_view rbb = "remote_bitbang:";
  if (text.starts_with(rbb)) {
    std::string_view rest = text.substr(rbb.size());
    std::string host = "127.0.0.1";
    const size_t colon = rest.rfind(':');
    if (colon != std::string_view::npos) {
      host = std::string(rest.substr(0, colon));
      rest = rest.substr(colon + 1);
    }
    unsigned port = 0;
    const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), port);
    if (host.empty() || rest.empty() || ec != std::errc() || end != rest.data() + rest.size() || port == 0 ||
        port > 65535)
      throw SimError("cable '" + std::string(text) + "': expected remote_bitbang:[HOST:]PORT with PORT 1..65535");
    return std::make_unique<RemoteBitbangCable>(host, static_cast<uint16_t>(port));
  }
  throw SimError("unknown cable '" + std::string(text) +
                 "' (expected sim, sim:CHAIN or remote_bitbang:[HOST:]PORT)");
}

}  // namespace zsim
