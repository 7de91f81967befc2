// Host parameter strings: "Name=Value|Name=Value".
//
// Line format (both directions): entries separated by "|"; an entry is a name, "=", and a value. The
// name ends at the entry's first "=", the value runs to the next "|" or the end of the line, so a
// value may hold "=" but never "|". No quoting, no escapes.
//  - Reading clears the list, skips entries without "=", trims names and values (every character up
//    to and including the space, i.e. control characters and blanks, at both ends) and drops entries
//    whose trimmed name is empty. Duplicate names are kept.
//  - Writing joins the entries in list order as name "=" value with "|"; an empty value is written as
//    a single space ("Name= "), which reading trims back to empty.
// Names compare without regard to (ASCII) case; every lookup takes the first matching entry.
// There are no escapes, so a name holding "|" or "=", or a value holding "|", cannot be written
// faithfully: creating such an entry throws EParameterTextError (errors.h) instead of producing a line
// that reads back as other entries.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zolta {

// Removes leading and trailing characters up to and including the space (controls and blanks).
std::string TrimParameterText(std::string_view s);

class TParameter {
 public:
  TParameter(std::string_view name, std::string_view value);
  const std::string& GetName() const { return FName; }
  const std::string& GetValue() const { return FValue; }
  void SetName(std::string_view name);
  void SetValue(std::string_view value);

 private:
  std::string FName;
  std::string FValue;
};

class TParameterList {
 public:
  TParameterList() = default;
  TParameterList(const TParameterList& other);
  TParameterList& operator=(const TParameterList& other);
  TParameterList(TParameterList&&) noexcept = default;
  TParameterList& operator=(TParameterList&&) noexcept = default;

  int32_t Count() const { return int32_t(FItems.size()); }
  const TParameter& Items(int32_t index) const { return *FItems.at(size_t(index)); }
  TParameter& Items(int32_t index) { return *FItems.at(size_t(index)); }
  // Position of the first entry whose name equals the trimmed name (ignoring case), or -1.
  int32_t IndexOf(std::string_view name) const;

  // ---- reading and writing a line ----
  void SetState(std::u16string_view line);
  void SetState_FromString(std::string_view line);
  std::u16string GetState() const;
  std::string GetState_ToString() const;

  // ---- adding (always appends; nothing is added for an empty trimmed name) ----
  void SetState_AddParameter(std::string_view name, std::string_view value);
  void SetState_AddParameterAsString(std::string_view name, std::string_view value);
  void SetState_AddParameterAsBoolean(std::string_view name, bool value);   // "True" / "False"
  void SetState_AddParameterAsInteger(std::string_view name, int32_t value);
  void SetState_AddParameterAsInt64(std::string_view name, int64_t value);
  // Shortest general form, at most 15 significant digits, "." as decimal separator in every locale.
  void SetState_AddParameterAsDouble(std::string_view name, double value);

  // ---- looking up (the first entry whose name equals the trimmed name, ignoring case) ----
  // The entry, or null. The pointer lives until the list changes.
  bool GetState_ParameterByName(std::string_view name, const TParameter*& parameter) const;
  const TParameter* GetState_ParameterByName(std::string_view name) const;
  // Missing: value set empty, false.
  bool GetState_ParameterAsString(std::string_view name, std::string& value) const;
  // True exactly when the trimmed value is "True" (any case). Answers whether the entry exists;
  // a missing entry leaves value unchanged.
  bool GetState_ParameterAsBoolean(std::string_view name, bool& value) const;
  bool GetState_ParameterAsWordBool(std::string_view name, int16_t& value) const;  // -1 / 0
  // A 32-bit integer: optional sign, decimal, or hexadecimal after "$", "x" or "0x". Not a number:
  // false, value unchanged. The narrow forms keep the low bits without a range check.
  bool GetState_ParameterAsLongInt(std::string_view name, int32_t& value) const;
  bool GetState_ParameterAsInteger(std::string_view name, int32_t& value) const;
  bool GetState_ParameterAsSmallInt(std::string_view name, int16_t& value) const;
  bool GetState_ParameterAsWord(std::string_view name, uint16_t& value) const;
  bool GetState_ParameterAsByte(std::string_view name, uint8_t& value) const;
  bool GetState_ParameterAsInt64(std::string_view name, int64_t& value) const;
  // Single precision, "." separator; not a number: false, value unchanged.
  bool GetState_ParameterAsReal(std::string_view name, float& value) const;
  // Double, "." separator; missing: false. A value that is not a number throws EConvertError
  // "'<text>' is not a valid floating point value".
  bool GetState_ParameterAsDouble(std::string_view name, double& value) const;
  // A newly allocated zero-terminated wide copy of the value, to be freed with
  // FreeParameterPChar. Missing: value points at a shared empty constant and the answer is false
  // (FreeParameterPChar ignores that constant, so freeing it is harmless).
  bool GetState_ParameterAsPChar(std::string_view name, char16_t*& value) const;

  // ---- removing ----
  // Removes the first entry with that name; false when there is none.
  bool SetState_RemoveByName(std::string_view name);
  void ClearAllParameters();

 private:
  const TParameter* find(std::string_view name) const { int32_t i = IndexOf(name); return i < 0 ? nullptr : FItems[size_t(i)].get(); }
  std::vector<std::unique_ptr<TParameter>> FItems;
};

// Frees a copy made by GetState_ParameterAsPChar; the shared empty constant and null are ignored.
void FreeParameterPChar(char16_t* value);

// Looks `name` up in `line` through a process-wide cache of the last line parsed (compared exactly,
// case-sensitively), so several lookups in one line parse it once. An empty line answers false with
// an empty value; a missing name answers false.
bool ParameterValueFromCachedLine(std::string_view line, std::string_view name, std::string& value);

// Replaces the value of the first entry named `name` in `line` by the trimmed value, or appends a new
// entry; the line is written back in the writing format (empty values become a single space).
void SetParameterInLine(std::string& line, std::string_view name, std::string_view value);

// Forgets the cached line of ParameterValueFromCachedLine.
void ResetParameterLineCache();

}  // namespace zolta
