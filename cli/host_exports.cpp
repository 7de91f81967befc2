// The host's exported entry points, found by plug-ins with dlsym in the running executable. Each
// forwards to the process's Host (Host::current()) and answers nothing while there is none.
//
// The object getters answer a borrowed reference, valid while the host lives: the caller AddRefs what
// it keeps.
#include <algorithm>
#include <cstring>

#include "zolta/hostapp/host.h"
#include "zolta/hostapp/paths.h"

using zolta::hostapp::Host;

namespace {
template <class T>
zabi::IDispatch* borrowed(const zabi::Ptr<T>& object) {
  return object ? object->dispatch() : nullptr;
}
}  // namespace

extern "C" {

__attribute__((visibility("default"))) zabi::IDispatch* ClientAPI_GetClientInterface() {
  Host* host = Host::current();
  return host ? borrowed(host->client()) : nullptr;
}

__attribute__((visibility("default"))) zabi::IDispatch* GetWorkspace() {
  Host* host = Host::current();
  return host ? borrowed(host->workspace()) : nullptr;
}

__attribute__((visibility("default"))) zabi::IDispatch* GetDeviceManager() {
  Host* host = Host::current();
  return host ? borrowed(host->deviceManager()) : nullptr;
}

// Expands `relative` against `base` into `buffer` (UTF-16, zero-terminated, `bufferBytes` bytes). Answers
// the number of characters written without the terminator; 0 when an argument is missing or the result
// does not fit (the buffer then holds an empty text when it has room for the terminator).
__attribute__((visibility("default"))) int32_t VFSAPI_VFS_ExpandRelativePath(const char16_t* base,
                                                                             const char16_t* relative,
                                                                             char16_t* buffer, int32_t bufferBytes) {
  if (!buffer || bufferBytes < int32_t(sizeof(char16_t))) return 0;
  buffer[0] = 0;
  if (!relative) return 0;
  std::u16string result = zabi::utf8ToUtf16(
      zolta::hostapp::expandRelativePath(zabi::utf16ToUtf8(base), zabi::utf16ToUtf8(relative)));
  size_t capacity = size_t(bufferBytes) / sizeof(char16_t);
  if (result.size() + 1 > capacity) return 0;
  std::copy(result.begin(), result.end(), buffer);
  buffer[result.size()] = 0;
  return int32_t(result.size());
}

}  // extern "C"
