#include "zolta/host/parameters.h"

#include <cfloat>
#include <cmath>

#include "zolta/dispatch.h"
#include "zolta/host/errors.h"
#include "zolta/host/text_utils.h"

namespace zolta {

std::string TrimParameterText(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return std::string(s.substr(b, e - b));
}

// ---- TParameter ------------------------------------------------------------------------------------

namespace {
// A parameter string has no escapes: a "|" in a name or value, or an "=" in a name, would come back
// as other entries when the line is read again (and could smuggle entries into a host command).
std::string checkedName(std::string_view name) {
  if (name.find_first_of("|=") != std::string_view::npos)
    throw EParameterTextError("Parameter name '" + std::string(name) + "' holds '|' or '=', which a parameter string cannot carry");
  return TrimParameterText(name);
}
std::string checkedValue(std::string_view name, std::string_view value) {
  if (value.find('|') != std::string_view::npos)
    throw EParameterTextError("Value '" + std::string(value) + "' of parameter '" + TrimParameterText(name) +
                              "' holds '|', which a parameter string cannot carry");
  return TrimParameterText(value);
}
}  // namespace

TParameter::TParameter(std::string_view name, std::string_view value)
    : FName(checkedName(name)), FValue(checkedValue(name, value)) {}

void TParameter::SetName(std::string_view name) { FName = checkedName(name); }
void TParameter::SetValue(std::string_view value) { FValue = checkedValue(FName, value); }

// ---- TParameterList: copying -----------------------------------------------------------------------

TParameterList::TParameterList(const TParameterList& other) { *this = other; }

TParameterList& TParameterList::operator=(const TParameterList& other) {
  if (this == &other) return *this;
  std::vector<std::unique_ptr<TParameter>> items;
  items.reserve(other.FItems.size());
  for (const auto& p : other.FItems) items.push_back(std::make_unique<TParameter>(*p));
  FItems = std::move(items);
  return *this;
}

// ---- reading and writing -----------------------------------------------------------------------------

void TParameterList::SetState(std::u16string_view line) { SetState_FromString(zabi::utf16ToUtf8(line)); }

void TParameterList::SetState_FromString(std::string_view line) {
  ClearAllParameters();
  // One pass, two states: in-name until the entry's first "=", in-value until "|" or the end.
  size_t start = 0;
  size_t nameEnd = 0;
  bool inValue = false;
  for (size_t i = 0; i <= line.size(); ++i) {
    const bool atEnd = i == line.size();
    const char c = atEnd ? '\0' : line[i];
    if (!inValue) {
      if (atEnd) break;
      if (c == '=') {
        nameEnd = i;
        inValue = true;
      } else if (c == '|') {
        start = i + 1;  // an entry without "=" is skipped
      }
    } else if (atEnd || c == '|') {
      SetState_AddParameter(line.substr(start, nameEnd - start), line.substr(nameEnd + 1, i - nameEnd - 1));
      inValue = false;
      start = i + 1;
    }
  }
}

std::string TParameterList::GetState_ToString() const {
  std::string out;
  for (size_t i = 0; i < FItems.size(); ++i) {
    if (i) out += '|';
    out += FItems[i]->GetName();
    out += '=';
    // An empty value is written as a single space so that the entry keeps its "Name= " shape.
    out += FItems[i]->GetValue().empty() ? std::string(" ") : FItems[i]->GetValue();
  }
  return out;
}

std::u16string TParameterList::GetState() const { return zabi::utf8ToUtf16(GetState_ToString()); }

// ---- adding ------------------------------------------------------------------------------------------

void TParameterList::SetState_AddParameter(std::string_view name, std::string_view value) {
  auto p = std::make_unique<TParameter>(name, value);
  if (p->GetName().empty()) return;
  FItems.push_back(std::move(p));
}

void TParameterList::SetState_AddParameterAsString(std::string_view name, std::string_view value) {
  SetState_AddParameter(name, value);
}

void TParameterList::SetState_AddParameterAsBoolean(std::string_view name, bool value) {
  SetState_AddParameter(name, value ? "True" : "False");
}

void TParameterList::SetState_AddParameterAsInteger(std::string_view name, int32_t value) {
  SetState_AddParameter(name, std::to_string(value));
}

void TParameterList::SetState_AddParameterAsInt64(std::string_view name, int64_t value) {
  SetState_AddParameter(name, std::to_string(value));
}

void TParameterList::SetState_AddParameterAsDouble(std::string_view name, double value) {
  SetState_AddParameter(name, FormatDouble(value));
}

// ---- looking up -------------------------------------------------------------------------------------

int32_t TParameterList::IndexOf(std::string_view name) const {
  const std::string key = TrimParameterText(name);
  for (size_t i = 0; i < FItems.size(); ++i)
    if (zabi::sameText(FItems[i]->GetName(), key)) return int32_t(i);
  return -1;
}

bool TParameterList::GetState_ParameterByName(std::string_view name, const TParameter*& parameter) const {
  parameter = find(name);
  return parameter != nullptr;
}

const TParameter* TParameterList::GetState_ParameterByName(std::string_view name) const { return find(name); }

bool TParameterList::GetState_ParameterAsString(std::string_view name, std::string& value) const {
  const TParameter* p = find(name);
  value = p ? p->GetValue() : std::string();
  return p != nullptr;
}

bool TParameterList::GetState_ParameterAsBoolean(std::string_view name, bool& value) const {
  const TParameter* p = find(name);
  if (!p) return false;
  value = zabi::sameText(TrimParameterText(p->GetValue()), "True");
  return true;
}

bool TParameterList::GetState_ParameterAsWordBool(std::string_view name, int16_t& value) const {
  bool b = false;
  if (!GetState_ParameterAsBoolean(name, b)) return false;
  value = b ? int16_t(-1) : int16_t(0);
  return true;
}

bool TParameterList::GetState_ParameterAsLongInt(std::string_view name, int32_t& value) const {
  const TParameter* p = find(name);
  return p && ReadInteger(p->GetValue(), value);
}

bool TParameterList::GetState_ParameterAsInteger(std::string_view name, int32_t& value) const {
  return GetState_ParameterAsLongInt(name, value);
}

bool TParameterList::GetState_ParameterAsSmallInt(std::string_view name, int16_t& value) const {
  int32_t v = 0;
  if (!GetState_ParameterAsLongInt(name, v)) return false;
  value = static_cast<int16_t>(static_cast<uint32_t>(v) & 0xFFFFu);
  return true;
}

bool TParameterList::GetState_ParameterAsWord(std::string_view name, uint16_t& value) const {
  int32_t v = 0;
  if (!GetState_ParameterAsLongInt(name, v)) return false;
  value = static_cast<uint16_t>(static_cast<uint32_t>(v) & 0xFFFFu);
  return true;
}

bool TParameterList::GetState_ParameterAsByte(std::string_view name, uint8_t& value) const {
  int32_t v = 0;
  if (!GetState_ParameterAsLongInt(name, v)) return false;
  value = static_cast<uint8_t>(static_cast<uint32_t>(v) & 0xFFu);
  return true;
}

bool TParameterList::GetState_ParameterAsInt64(std::string_view name, int64_t& value) const {
  const TParameter* p = find(name);
  return p && ReadInt64(p->GetValue(), value);
}

bool TParameterList::GetState_ParameterAsReal(std::string_view name, float& value) const {
  const TParameter* p = find(name);
  double d = 0;
  if (!p || !ReadFloat(p->GetValue(), d)) return false;
  if (std::isfinite(d) && std::fabs(d) > FLT_MAX) return false;  // beyond single precision
  value = static_cast<float>(d);
  return true;
}

bool TParameterList::GetState_ParameterAsDouble(std::string_view name, double& value) const {
  const TParameter* p = find(name);
  if (!p) return false;
  double d = 0;
  if (!ReadFloat(p->GetValue(), d))
    throw EConvertError("'" + p->GetValue() + "' is not a valid floating point value");
  value = d;
  return true;
}

namespace {
char16_t gEmptyPChar[1] = {0};
}

bool TParameterList::GetState_ParameterAsPChar(std::string_view name, char16_t*& value) const {
  const TParameter* p = find(name);
  if (!p) {
    value = gEmptyPChar;
    return false;
  }
  const std::u16string w = zabi::utf8ToUtf16(p->GetValue());
  value = new char16_t[w.size() + 1];
  std::copy(w.begin(), w.end(), value);
  value[w.size()] = 0;
  return true;
}

void FreeParameterPChar(char16_t* value) {
  if (value && value != gEmptyPChar) delete[] value;
}

// ---- removing ----------------------------------------------------------------------------------------

bool TParameterList::SetState_RemoveByName(std::string_view name) {
  const int32_t i = IndexOf(name);
  if (i < 0) return false;
  FItems.erase(FItems.begin() + i);
  return true;
}

void TParameterList::ClearAllParameters() { FItems.clear(); }

// ---- free routines -----------------------------------------------------------------------------------

namespace {
struct LineCache {
  TParameterList list;
  std::string line;
  bool filled = false;
};
LineCache& lineCache() {
  static LineCache cache;
  return cache;
}
}  // namespace

bool ParameterValueFromCachedLine(std::string_view line, std::string_view name, std::string& value) {
  value.clear();
  if (line.empty()) return false;
  LineCache& cache = lineCache();
  if (!cache.filled || cache.line != line) {
    cache.list.SetState_FromString(line);
    cache.line.assign(line);
    cache.filled = true;
  }
  return cache.list.GetState_ParameterAsString(name, value);
}

void ResetParameterLineCache() {
  LineCache& cache = lineCache();
  cache.list.ClearAllParameters();
  cache.line.clear();
  cache.filled = false;
}

void SetParameterInLine(std::string& line, std::string_view name, std::string_view value) {
  TParameterList list;
  list.SetState_FromString(line);
  const int32_t i = list.IndexOf(name);
  if (i >= 0) {
    list.Items(i).SetValue(value);
  } else {
    list.SetState_AddParameter(name, value);
  }
  line = list.GetState_ToString();
}

}  // namespace zolta
