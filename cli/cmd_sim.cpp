// zolta sim serve [--port P] [--chain SPEC]: serves a simulated chain over remote_bitbang on 127.0.0.1,
// so that `zolta ... --cable rbb://127.0.0.1:P` or OpenOCD can scan and program it. The chain keeps its
// state from one client to the next. Ctrl-C (SIGINT) or SIGTERM stops the server cleanly: the client is
// dropped, the port closed, exit status 0.
//
// Port 0 picks a free port; the line "remote_bitbang server listening on 127.0.0.1:PORT, chain ..." on
// stdout names it. Clients connecting and leaving are reported on stdout too, each line flushed.
#include <signal.h>

#include <atomic>
#include <charconv>

#include "cli.h"
#include "zolta/hostapp/jtag_chain.h"
#include "zolta/sim/remote_bitbang.h"

namespace zolta::cli {

namespace {

// Set by the signal handler; the server looks at it at least every 100 ms. A signal handler can reach
// nothing but a process-wide flag.
std::atomic<bool> gStopServing{false};

extern "C" void stopServing(int) { gStopServing.store(true); }

// The port the server listens on when none is given (the usual remote_bitbang port of our examples).
constexpr uint16_t kDefaultPort = 3335;

}  // namespace

int runSim(Context& context, const std::vector<std::string>& args) {
  if (args.empty() || args.front() != "serve")
    return context.usageError(args.empty() ? std::string("sim: missing sub-command (serve)")
                                           : "sim: unknown sub-command '" + args.front() + "' (expected serve)");
  uint32_t port = kDefaultPort;
  std::string chain(hostapp::kDefaultSimChain);
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string name = a, value;
    const size_t eq = a.find('=');
    if (a.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
    } else if (a == "--port" || a == "--chain") {
      if (i + 1 >= args.size()) return context.usageError("sim serve: option " + a + " needs a value");
      value = args[++i];
    }
    if (name == "--port") {
      const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), port);
      if (value.empty() || ec != std::errc() || end != value.data() + value.size() || port > 65535)
        return context.usageError("sim serve: --port '" + value + "' is not a port number (0..65535)");
    } else if (name == "--chain") {
      if (value.empty()) return context.usageError("sim serve: option --chain needs a chain description");
      chain = value;
    } else {
      return context.usageError("sim serve: unexpected argument '" + a + "'");
    }
  }

  struct sigaction action {};
  action.sa_handler = stopServing;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a waiting poll returns at once
  struct sigaction oldInt {}, oldTerm {};
  sigaction(SIGINT, &action, &oldInt);
  sigaction(SIGTERM, &action, &oldTerm);
  struct Restore {
    struct sigaction i, t;
    ~Restore() {
      sigaction(SIGINT, &i, nullptr);
      sigaction(SIGTERM, &t, nullptr);
    }
  } restore{oldInt, oldTerm};

  gStopServing.store(false);
  std::ostream& out = context.out();
  zsim::runRemoteBitbangServer(uint16_t(port), chain, gStopServing, [&out](const std::string& line) {
    out << line << std::endl;
  });
  out << "remote_bitbang server stopped" << std::endl;
  return kExitOk;
}

}  // namespace zolta::cli
