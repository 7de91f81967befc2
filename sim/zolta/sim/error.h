// Errors of the simulated hardware and the cables. Every message names the file, device, value or
// connection at fault.
#pragma once

#include <stdexcept>
#include <string>

namespace zsim {

// A bad argument or input: an unknown device name, a malformed chain description, a bad bit file.
class SimError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A cable that cannot carry on: the connection is refused, lost or silent for too long. A cable that
// has raised this error stays broken and raises it again on every later call.
class CableError : public SimError {
 public:
  using SimError::SimError;
};

}  // namespace zsim
