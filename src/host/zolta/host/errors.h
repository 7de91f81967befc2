// Errors raised by the host-integration routines. Each carries a message that names the value or the
// file at fault; the host-visible layer turns them into an error status.
#pragma once

#include <stdexcept>
#include <string>

namespace zolta {

// A text that does not read as the number asked for ("'abc' is not a valid floating point value").
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A parameter name or value that a parameter string cannot carry ("|" anywhere, "=" in a name).
class EParameterTextError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// A file that could not be opened, read or written; the message names the file.
class EFileAccessError : public std::runtime_error {
 public:
  EFileAccessError(const std::string& message, std::string fileName)
      : std::runtime_error(message), fileName_(std::move(fileName)) {}
  const std::string& fileName() const { return fileName_; }

 private:
  std::string fileName_;
};

}  // namespace zolta
