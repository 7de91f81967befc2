#include "zolta/sim/chain.h"
#include "zolta/sim/remote_bitbang.h"

namespace zsim {

size_t RemoteBitbangProtocol::handle(const uint8_t* requests, size_t count, std::string& replies) {
  Chain& chain = chain_;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t c = requests[i];
    if (c >= '0' && c <= '7') {
      const unsigned v = c - '0';
      chain.setPins(v & 4, v & 2, v & 1);
    } else if (c == 'R') {
      replies.push_back(chain.tdo() ? '1' : '0');
    } else if (c >= 'r' && c <= 'u') {
      const unsigned v = c - 'r';
      chain.setTrst(v & 2);  // SRST is not wired to the simulated parts
    } else if (c == 'B' || c == 'b') {
      led_ = c == 'B';
    } else if (c == 'Q') {
      quit_ = true;
      return i + 1;
    } else {
      ++ignored_;
    }
  }
  return count;
}

}  // namespace zsim
