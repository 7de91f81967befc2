// Test helpers shared by the component tests.
//  - ScriptedObject: a host object whose dispatch identifiers map to handlers; every answered call is logged
//    as "<name><id>(arg,arg...)".
//  - TempDir: a fresh temporary folder, removed with the object.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "zolta/service.h"

namespace zolta::testing {

class ScriptedObject : public TAbstractSupportService {
 public:
  using Handler = std::function<Var(DispatchCall&)>;
  std::map<DispId, Handler> handlers;
  std::vector<std::string>* log = nullptr;
  std::string name;

  ScriptedObject& on(DispId id, Handler h) {
    handlers[id] = std::move(h);
    return *this;
  }
  ScriptedObject& answer(DispId id, Var v) {
    handlers[id] = [v](DispatchCall&) { return v; };
    return *this;
  }

 protected:
  bool dispatchCall(DispatchCall& call) override {
    auto it = handlers.find(call.id());
    if (it == handlers.end()) return TAbstractSupportService::dispatchCall(call);
    if (log) {
      std::string entry = name + std::to_string(call.id()) + "(";
      for (uint32_t k = 0; k < call.count(); ++k) entry += (k ? "," : "") + zabi::variantToString(call.arg(k));
      log->push_back(entry + ")");
    }
    call.retVar(it->second(call));
    return true;
  }
};

struct TempDir {
  std::filesystem::path path;
  explicit TempDir(const std::string& prefix = "zolta_test") {
    std::string t = (std::filesystem::temp_directory_path() / (prefix + "_XXXXXX")).string();
    std::vector<char> buf(t.begin(), t.end());
    buf.push_back('\0');
    path = ::mkdtemp(buf.data());
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string str() const { return path.string() + "/"; }
  std::string file(const std::string& rel) const { return (path / rel).string(); }
  std::string write(const std::string& rel, const std::string& content) const {
    const auto p = path / rel;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
    return p.string();
  }
  std::string write(const std::string& rel, const std::vector<uint8_t>& bytes) const {
    return write(rel, std::string(bytes.begin(), bytes.end()));
  }
};

}  // namespace zolta::testing
