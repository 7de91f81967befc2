// BSDL reader: a lexer for the VHDL subset, a parser that collects the statements, then a builder that
// checks the description as a whole and only then creates the entity's objects.
#include "zolta/bscan/bsdl_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>
#include <type_traits>
#include <unordered_map>

namespace zolta {

BSDLReadError::BSDLReadError(std::string file, int line, std::string message)
    : std::runtime_error(file + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + message),
      file_(std::move(file)),
      line_(line),
      message_(std::move(message)) {}

namespace {

constexpr int64_t kMaxNumber = 0x7FFFFFFF;

std::string upper(std::string_view s) { return zabi::upperAscii(s); }
bool same(std::string_view a, std::string_view b) { return zabi::sameText(a, b); }

bool isIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isWordChar(char c) { return isIdentStart(c) || isDigit(c) || c == '_'; }

// A character as messages show it.
std::string showChar(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  if (u >= 0x20 && u < 0x7F) return std::string("'") + c + "'";
  static const char hex[] = "0123456789ABCDEF";
  return std::string("byte 0x") + hex[u >> 4] + hex[u & 15];
}

// ---- lexer ------------------------------------------------------------------------------------------

enum class Tok { End, Ident, Number, String, Punct };

struct Token {
  Tok kind = Tok::End;
  std::string_view text;  // identifier, number, punctuation; the content of a string literal
  std::string_view raw;   // as written in the source (strings with their quotes)
  int line = 0;
};

class Lexer {
 public:
  Lexer(std::string_view src, const std::string& file) : src_(src), file_(file) {}

  Token next() {
    skipSpaceAndComments();
    Token t;
    t.line = line_;
    if (pos_ >= src_.size()) {
      t.kind = Tok::End;
      return t;
    }
    size_t start = pos_;
    char c = src_[pos_];
    if (isIdentStart(c)) {
      while (pos_ < src_.size() && isWordChar(src_[pos_])) ++pos_;
      t.kind = Tok::Ident;
    } else if (isDigit(c)) {
      lexNumber();
      t.kind = Tok::Number;
    } else if (c == '"') {
      t.kind = Tok::String;
      t.text = lexString();
      t.raw = src_.substr(start, pos_ - start);
      return t;
    } else if (c == ':' && pos_ + 1 < src_.size() && src_[pos_ + 1] == '=') {
      pos_ += 2;
      t.kind = Tok::Punct;
    } else if (std::strchr("(),;:&.[]*", c) && c != '\0') {
      ++pos_;
      t.kind = Tok::Punct;
    } else {
      throw BSDLReadError(file_, line_, "unexpected character " + showChar(c));
    }
    t.text = t.raw = src_.substr(start, pos_ - start);
    return t;
  }

 private:
  void skipSpaceAndComments() {
    while (pos_ < src_.size()) {
      char c = src_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
        ++pos_;
      } else if (c == '-' && pos_ + 1 < src_.size() && src_[pos_ + 1] == '-') {
        while (pos_ < src_.size() && src_[pos_] != '\n') ++pos_;
      } else {
        break;
      }
    }
  }

  void lexNumber() {
    auto digits = [&] {
      while (pos_ < src_.size() && (isDigit(src_[pos_]) || src_[pos_] == '_')) ++pos_;
    };
    digits();
    if (pos_ + 1 < src_.size() && src_[pos_] == '.' && isDigit(src_[pos_ + 1])) {
      ++pos_;
      digits();
    }
    if (pos_ < src_.size() && (src_[pos_] == 'e' || src_[pos_] == 'E')) {
      size_t p = pos_ + 1;
      if (p < src_.size() && (src_[p] == '+' || src_[p] == '-')) ++p;
      if (p < src_.size() && isDigit(src_[p])) {
        pos_ = p;
        digits();
      }
    }
    if (pos_ < src_.size() && isIdentStart(src_[pos_]))
      throw BSDLReadError(file_, line_, "a number runs into letters: " + showChar(src_[pos_]));
  }

  // A string literal on one line; "" inside stands for one quote.
  std::string_view lexString() {
    int startLine = line_;
    size_t begin = ++pos_;
    bool escaped = false;
    for (;;) {
      if (pos_ >= src_.size() || src_[pos_] == '\n' || src_[pos_] == '\r')
        throw BSDLReadError(file_, startLine, "unterminated string literal: expected '\"' before the end of the line");
      if (src_[pos_] == '"') {
        if (pos_ + 1 < src_.size() && src_[pos_ + 1] == '"') {
          escaped = true;
          pos_ += 2;
          continue;
        }
        break;
      }
      ++pos_;
    }
    std::string_view content = src_.substr(begin, pos_ - begin);
    ++pos_;  // closing quote
    if (!escaped) return content;
    std::string& s = unescaped_.emplace_back();
    for (size_t i = 0; i < content.size(); ++i) {
      s += content[i];
      if (content[i] == '"') ++i;
    }
    return s;
  }

  std::string_view src_;
  const std::string& file_;
  size_t pos_ = 0;
  int line_ = 1;
  std::deque<std::string> unescaped_;
};

// ---- collected statements ---------------------------------------------------------------------------

// String literals joined with "&", with the source line of every piece for messages.
struct StringValue {
  std::string text;
  std::vector<std::pair<size_t, int>> pieces;  // (offset in text, source line)
  int line = 0;

  int lineAt(size_t offset) const {
    auto it = std::upper_bound(pieces.begin(), pieces.end(), offset,
                               [](size_t o, const std::pair<size_t, int>& p) { return o < p.first; });
    return it == pieces.begin() ? line : std::prev(it)->second;
  }
};

struct Attribute {
  std::string name;     // upper case
  std::string written;  // as written
  std::string target;
  std::string targetClass;  // "entity", "signal", ...
  std::vector<Token> value;
  int line = 0;
};

enum class PortMode { In, Out, InOut, Buffer, Linkage };

struct Port {
  std::string name;  // as written
  PortMode mode = PortMode::In;
  bool vector = false;
  int64_t left = 0, right = 0;  // declared range, left to right
  int line = 0;
  int64_t width() const { return vector ? (left <= right ? right - left : left - right) + 1 : 1; }
  int64_t indexAt(int64_t i) const { return left <= right ? left + i : left - i; }
};

// ---- parser -----------------------------------------------------------------------------------------

class Parser {
 public:
  Parser(std::string_view text, const std::string& file) : lex_(text, file), file_(file) { advance(); }

  std::string entityName;
  int entityLine = 0;
  int endLine = 0;
  std::optional<std::string> pinMapGeneric;  // default of PHYSICAL_PIN_MAP
  int genericLine = 0;
  std::vector<Port> ports;
  std::vector<std::string> useClauses;
  std::unordered_map<std::string, StringValue> pinMapConstants;  // by upper-case name
  std::vector<std::string> pinMapConstantOrder;
  std::vector<Attribute> attributes;

  void parse() {
    if (!isKeyword("entity")) fail("expected 'entity' at the start of the description");
    advance();
    Token name = expectIdent("the entity's name");
    entityName = std::string(name.text);
    entityLine = name.line;
    expectKeyword("is");
    for (;;) {
      if (isKeyword("generic")) parseGeneric();
      else if (isKeyword("port")) parsePorts();
      else if (isKeyword("use")) parseUse();
      else if (isKeyword("attribute")) parseAttribute();
      else if (isKeyword("constant")) parseConstant();
      else if (isKeyword("end")) break;
      else if (tok_.kind == Tok::End) fail("the file ends inside entity " + entityName + ": expected 'end " + entityName + ";'");
      else fail("expected 'generic', 'port', 'use', 'attribute', 'constant' or 'end'");
    }
    endLine = tok_.line;
    advance();
    if (isKeyword("entity")) advance();
    if (tok_.kind == Tok::Ident) {
      if (!same(tok_.text, entityName)) fail("'end " + std::string(tok_.text) + "' closes entity " + entityName);
      advance();
    }
    expectPunct(";", "after 'end " + entityName + "'");
    if (tok_.kind != Tok::End) fail("expected nothing after the end of entity " + entityName);
  }

  [[noreturn]] void failAt(int line, const std::string& message) const { throw BSDLReadError(file_, line, message); }

  // A string value: string literals joined with "&".
  StringValue stringOf(const std::vector<Token>& tokens, int line, const std::string& what) const {
    StringValue v;
    v.line = line;
    bool wantString = true;
    for (const Token& t : tokens) {
      if (wantString) {
        if (t.kind != Tok::String) failAt(t.line, "expected a string literal in " + what + ", found " + describe(t));
        v.pieces.emplace_back(v.text.size(), t.line);
        v.text.append(t.text);
      } else if (!(t.kind == Tok::Punct && t.text == "&")) {
        failAt(t.line, "expected '&' or ';' after a string literal in " + what + ", found " + describe(t));
      }
      wantString = !wantString;
    }
    if (tokens.empty()) failAt(line, "expected a string value for " + what);
    if (wantString) failAt(tokens.back().line, "expected a string literal after '&' in " + what);
    if (!v.pieces.empty()) v.line = v.pieces.front().second;
    return v;
  }

  static std::string describe(const Token& t) {
    switch (t.kind) {
      case Tok::End: return "the end of the file";
      case Tok::String: return "a string literal";
      default: return "'" + std::string(t.text) + "'";
    }
  }

 private:
  void advance() { tok_ = lex_.next(); }
  bool isKeyword(std::string_view k) const { return tok_.kind == Tok::Ident && same(tok_.text, k); }
  bool isPunct(std::string_view p) const { return tok_.kind == Tok::Punct && tok_.text == p; }

  [[noreturn]] void fail(const std::string& expected) const {
    failAt(tok_.line, expected + ", found " + describe(tok_));
  }
  Token expectIdent(const std::string& what) {
    if (tok_.kind != Tok::Ident) fail("expected " + what);
    Token t = tok_;
    advance();
    return t;
  }
  void expectKeyword(std::string_view k) {
    if (!isKeyword(k)) fail("expected '" + std::string(k) + "'");
    advance();
  }
  void expectPunct(std::string_view p, const std::string& where) {
    if (!isPunct(p)) fail("expected '" + std::string(p) + "' " + where);
    advance();
  }
  int64_t expectInteger(const std::string& what) {
    if (tok_.kind != Tok::Number) fail("expected " + what);
    int64_t v = 0;
    for (char c : tok_.text) {
      if (c == '_') continue;
      if (!isDigit(c)) fail("expected a whole number for " + what);
      v = v * 10 + (c - '0');
      if (v > kMaxNumber) fail("the number for " + what + " is too large");
    }
    advance();
    return v;
  }

  // generic (PHYSICAL_PIN_MAP : string [:= "PACKAGE"]);
  void parseGeneric() {
    genericLine = tok_.line;
    advance();
    expectPunct("(", "after 'generic'");
    Token name = expectIdent("the generic's name PHYSICAL_PIN_MAP");
    if (!same(name.text, "PHYSICAL_PIN_MAP"))
      failAt(name.line, "expected the generic PHYSICAL_PIN_MAP, found '" + std::string(name.text) + "'");
    expectPunct(":", "after PHYSICAL_PIN_MAP");
    expectKeyword("string");
    if (isPunct(":=")) {
      advance();
      if (tok_.kind != Tok::String) fail("expected the default package name as a string literal");
      pinMapGeneric = std::string(tok_.text);
      advance();
    }
    expectPunct(")", "to close the generic clause");
    expectPunct(";", "after the generic clause");
  }

  // port (A, B : inout bit; V : linkage bit_vector (1 to 4));
  void parsePorts() {
    advance();
    expectPunct("(", "after 'port'");
    for (;;) {
      std::vector<Token> names;
      names.push_back(expectIdent("a port name"));
      while (isPunct(",")) {
        advance();
        names.push_back(expectIdent("a port name after ','"));
      }
      expectPunct(":", "after the port name " + std::string(names.back().text));
      Port proto;
      if (isKeyword("in")) proto.mode = PortMode::In;
      else if (isKeyword("out")) proto.mode = PortMode::Out;
      else if (isKeyword("inout")) proto.mode = PortMode::InOut;
      else if (isKeyword("buffer")) proto.mode = PortMode::Buffer;
      else if (isKeyword("linkage")) proto.mode = PortMode::Linkage;
      else fail("expected a port mode (in, out, inout, buffer or linkage)");
      advance();
      if (isKeyword("bit")) {
        advance();
      } else if (isKeyword("bit_vector")) {
        advance();
        proto.vector = true;
        expectPunct("(", "after 'bit_vector'");
        proto.left = expectInteger("the range's left bound");
        bool to = isKeyword("to");
        if (!to && !isKeyword("downto")) fail("expected 'to' or 'downto'");
        advance();
        proto.right = expectInteger("the range's right bound");
        if (to ? proto.left > proto.right : proto.left < proto.right)
          failAt(names.front().line, "the range of port " + std::string(names.front().text) + " is empty");
        expectPunct(")", "to close the range");
      } else {
        fail("expected the port type 'bit' or 'bit_vector'");
      }
      for (const Token& n : names) {
        Port p = proto;
        p.name = std::string(n.text);
        p.line = n.line;
        ports.push_back(std::move(p));
      }
      if (isPunct(";")) {
        advance();
        continue;
      }
      expectPunct(")", "or ';' after a port declaration");
      break;
    }
    expectPunct(";", "after the port list");
  }

  // use STD_1149_1_2001.all;
  void parseUse() {
    advance();
    Token pkg = expectIdent("a package name after 'use'");
    useClauses.emplace_back(pkg.text);
    while (isPunct(".")) {
      advance();
      expectIdent("a name after '.'");
    }
    expectPunct(";", "after the use clause");
  }

  // attribute NAME of TARGET : CLASS is VALUE;   or a declaration: attribute NAME : TYPE;
  void parseAttribute() {
    advance();
    Token name = expectIdent("an attribute name");
    Attribute a;
    a.written = std::string(name.text);
    a.name = upper(name.text);
    a.line = name.line;
    if (isPunct(":")) {  // declaration of a further attribute
      skipStatement("attribute declaration " + a.written);
      return;
    }
    expectKeyword("of");
    a.target = std::string(expectIdent("the name that attribute " + a.written + " describes").text);
    expectPunct(":", "after the attribute's target " + a.target);
    a.targetClass = std::string(expectIdent("'entity' or 'signal'").text);
    expectKeyword("is");
    a.value = collectValue("attribute " + a.written);
    attributes.push_back(std::move(a));
  }

  // constant NAME : PIN_MAP_STRING := "..." & "...";  (constants of other types are passed over)
  void parseConstant() {
    advance();
    Token name = expectIdent("a constant name");
    expectPunct(":", "after constant " + std::string(name.text));
    Token type = expectIdent("the constant's type");
    if (!same(type.text, "PIN_MAP_STRING")) {
      skipStatement("constant " + std::string(name.text));
      return;
    }
    expectPunct(":=", "after the type of constant " + std::string(name.text));
    std::vector<Token> value = collectValue("constant " + std::string(name.text));
    std::string key = upper(name.text);
    if (pinMapConstants.count(key))
      failAt(name.line, "constant " + std::string(name.text) + " is defined twice");
    pinMapConstants.emplace(key, stringOf(value, name.line, "constant " + std::string(name.text)));
    pinMapConstantOrder.push_back(key);
  }

  // The tokens up to the statement's ';' (parentheses balanced); the ';' is consumed.
  std::vector<Token> collectValue(const std::string& what) {
    std::vector<Token> out;
    int depth = 0;
    for (;;) {
      if (tok_.kind == Tok::End) fail("expected ';' to end " + what);
      if (tok_.kind == Tok::Punct) {
        if (tok_.text == "(") ++depth;
        else if (tok_.text == ")" && --depth < 0) fail("unbalanced ')' in " + what);
        else if (tok_.text == ";" && depth == 0) break;
        else if (tok_.text == ";") fail("expected ')' before ';' in " + what);
      }
      out.push_back(tok_);
      advance();
    }
    advance();
    return out;
  }

  void skipStatement(const std::string& what) { collectValue(what); }

  Lexer lex_;
  const std::string& file_;
  Token tok_;
};

// ---- scanner for the contents of string attributes --------------------------------------------------

struct Item {
  enum Kind { End, Word, Punct } kind = End;
  std::string_view text;
  size_t offset = 0;
};

class StringScanner {
 public:
  StringScanner(const StringValue& v, const Parser& p, std::string what) : v_(v), p_(p), what_(std::move(what)) {
    next_ = scan();
  }

  const Item& peek() const { return next_; }
  Item take() {
    Item t = next_;
    next_ = scan();
    return t;
  }
  bool atEnd() const { return next_.kind == Item::End; }
  bool isPunct(char c) const { return next_.kind == Item::Punct && next_.text[0] == c; }

  // The message arguments are texts or callables that make the text; callables are only run when
  // the check fails, which keeps the common path free of string building.
  template <class M>
  Item expectWord(M&& expected) {
    if (next_.kind != Item::Word) fail(textOf(expected));
    return take();
  }
  template <class M>
  void expectPunct(char c, M&& where) {
    if (!isPunct(c)) fail(std::string("'") + c + "' " + textOf(where));
    take();
  }
  template <class M>
  int64_t expectNumber(M&& expected) {
    Item t = expectWord(expected);
    int64_t v = 0;
    for (char c : t.text) {
      if (!isDigit(c)) failAt(t, "expected " + textOf(expected) + ", found '" + std::string(t.text) + "'");
      v = v * 10 + (c - '0');
      if (v > kMaxNumber) failAt(t, "the number '" + std::string(t.text) + "' in " + what_ + " is too large");
    }
    return v;
  }

  template <class M>
  static std::string textOf(const M& m) {
    if constexpr (std::is_invocable_v<const M&>) return m();
    else return std::string(m);
  }

  [[noreturn]] void fail(const std::string& expected) const {
    failAt(next_, "expected " + expected + " in " + what_ + ", found " + describe(next_));
  }
  [[noreturn]] void failAt(const Item& at, const std::string& message) const {
    p_.failAt(v_.lineAt(at.offset), message);
  }
  int lineOf(const Item& at) const { return v_.lineAt(at.offset); }
  const std::string& what() const { return what_; }

  static std::string describe(const Item& t) {
    return t.kind == Item::End ? std::string("the end of the string") : "'" + std::string(t.text) + "'";
  }

 private:
  Item scan() {
    const std::string& s = v_.text;
    while (pos_ < s.size() && (s[pos_] == ' ' || s[pos_] == '\t')) ++pos_;
    Item t;
    t.offset = pos_;
    if (pos_ >= s.size()) return t;
    size_t start = pos_;
    if (isWordChar(s[pos_])) {
      while (pos_ < s.size() && isWordChar(s[pos_])) ++pos_;
      t.kind = Item::Word;
    } else if (std::strchr("(),:[]*", s[pos_]) && s[pos_] != '\0') {
      ++pos_;
      t.kind = Item::Punct;
    } else {
      p_.failAt(v_.lineAt(pos_), "unexpected character " + showChar(s[pos_]) + " in " + what_);
    }
    t.text = std::string_view(s).substr(start, pos_ - start);
    return t;
  }

  const StringValue& v_;
  const Parser& p_;
  std::string what_;
  size_t pos_ = 0;
  Item next_;
};

// A pattern of bit characters (0, 1, X) of exactly `width` characters.
std::string bitPattern(StringScanner& s, const Item& t, size_t width, const std::string& what) {
  for (char c : t.text)
    if (c != '0' && c != '1' && c != 'x' && c != 'X')
      s.failAt(t, "expected " + what + " of the characters 0, 1 and X, found '" + std::string(t.text) + "'");
  if (t.text.size() != width)
    s.failAt(t, what + " '" + std::string(t.text) + "' has " + std::to_string(t.text.size()) + " bits, expected " +
                    std::to_string(width));
  return upper(t.text);
}

// The value of a bit pattern, most significant bit first; X counts as 0; longer patterns keep the low
// 32 bits.
uint32_t patternValue(std::string_view bits) {
  uint32_t v = 0;
  for (char c : bits) v = (v << 1) | (c == '1' ? 1u : 0u);
  return v;
}

// ---- builder ----------------------------------------------------------------------------------------

struct PortElement {
  size_t port;     // index into ports
  int64_t index;   // vector index (unused for a scalar)
  std::string name;
  std::string pin;  // package pin
};

struct CellEntry {
  int32_t number;
  TCellKind kind;
  std::string port;           // "*" or the element name as written
  std::optional<size_t> element;
  TCellFunction function;
  TBitValue safe;
  int32_t control = -1;
  TBitValue disableValue = eBit_0;
  TDisableResult disableResult = eDisableResult_Undefined;
  int line;
};

struct OpCodeEntry {
  std::string name;
  std::vector<std::string> patterns;
  int line;
};

struct RegisterEntry {
  std::string name;
  int32_t length = 0;
  bool lengthGiven = false;
  std::vector<size_t> opcodes;  // indexes into the opcode list
  int line;
};

class Builder {
 public:
  Builder(Parser& p, const std::string& file) : p_(p), file_(file) {}

  std::unique_ptr<TBSDLEntity> build() {
    indexAttributes();
    checkPorts();
    readPinMap();
    readTap();
    readInstructions();
    readIdRegisters();
    readBoundary();
    readRegisters();
    return create();
  }

 private:
  [[noreturn]] void fail(int line, const std::string& message) const { p_.failAt(line, message); }

  // Known attributes by upper-case name; each at most once.
  void indexAttributes() {
    static const char* const kEntityAttributes[] = {
        "COMPONENT_CONFORMANCE", "PIN_MAP",           "INSTRUCTION_LENGTH", "INSTRUCTION_OPCODE",
        "INSTRUCTION_CAPTURE",   "INSTRUCTION_PRIVATE", "IDCODE_REGISTER",  "USERCODE_REGISTER",
        "REGISTER_ACCESS",       "BOUNDARY_LENGTH",   "BOUNDARY_REGISTER",  "COMPLIANCE_PATTERNS",
        "DESIGN_WARNING"};
    static const char* const kSignalAttributes[] = {"TAP_SCAN_IN", "TAP_SCAN_OUT", "TAP_SCAN_MODE",
                                                    "TAP_SCAN_CLOCK", "TAP_SCAN_RESET"};
    for (const Attribute& a : p_.attributes) {
      bool entityAttr = std::any_of(std::begin(kEntityAttributes), std::end(kEntityAttributes),
                                    [&](const char* n) { return a.name == n; });
      bool signalAttr = std::any_of(std::begin(kSignalAttributes), std::end(kSignalAttributes),
                                    [&](const char* n) { return a.name == n; });
      if (!entityAttr && !signalAttr) continue;  // kept as text only
      if (auto it = known_.find(a.name); it != known_.end())
        fail(a.line, "attribute " + a.written + " is given twice (first on line " + std::to_string(it->second->line) +
                         ")");
      if (entityAttr) {
        if (!same(a.targetClass, "entity"))
          fail(a.line, "attribute " + a.written + " describes the entity: expected 'of " + p_.entityName +
                           " : entity', found class '" + a.targetClass + "'");
        if (!same(a.target, p_.entityName))
          fail(a.line, "attribute " + a.written + " names entity " + a.target + ", but this is entity " +
                           p_.entityName);
      } else if (!same(a.targetClass, "signal")) {
        fail(a.line, "attribute " + a.written + " describes a port: expected 'of " + a.target +
                         " : signal', found class '" + a.targetClass + "'");
      }
      known_.emplace(a.name, &a);
    }
  }

  const Attribute* find(const char* name) const {
    auto it = known_.find(name);
    return it == known_.end() ? nullptr : it->second;
  }
  const Attribute& require(const char* name) const {
    if (const Attribute* a = find(name)) return *a;
    fail(p_.endLine, "entity " + p_.entityName + " ends without the required attribute " + name);
  }

  int64_t integerOf(const Attribute& a) const {
    if (a.value.size() != 1 || a.value[0].kind != Tok::Number)
      fail(a.line, "expected a whole number as the value of " + a.written);
    int64_t v = 0;
    for (char c : a.value[0].text) {
      if (c == '_') continue;
      if (!isDigit(c)) fail(a.line, "expected a whole number as the value of " + a.written + ", found '" +
                                        std::string(a.value[0].text) + "'");
      v = v * 10 + (c - '0');
      if (v > kMaxNumber) fail(a.line, "the value of " + a.written + " is too large");
    }
    return v;
  }

  StringValue stringOf(const Attribute& a) const { return p_.stringOf(a.value, a.line, "attribute " + a.written); }

  // -- ports and pins --

  void checkPorts() {
    if (p_.ports.empty()) fail(p_.endLine, "entity " + p_.entityName + " declares no ports");
    for (size_t i = 0; i < p_.ports.size(); ++i) {
      std::string key = upper(p_.ports[i].name);
      if (!portIndex_.emplace(key, i).second)
        fail(p_.ports[i].line, "port " + p_.ports[i].name + " is declared twice");
    }
  }

  const StringValue& choosePinMap() {
    if (p_.pinMapConstants.empty())
      fail(p_.endLine, "entity " + p_.entityName + " defines no PIN_MAP_STRING constant for its package pins");
    if (const Attribute* a = find("PIN_MAP")) {
      if (a->value.size() == 1 && a->value[0].kind == Tok::Ident && !same(a->value[0].text, "PHYSICAL_PIN_MAP")) {
        auto it = p_.pinMapConstants.find(upper(a->value[0].text));
        if (it == p_.pinMapConstants.end())
          fail(a->line, "PIN_MAP names " + std::string(a->value[0].text) + ", which is no PIN_MAP_STRING constant");
        pinMapName_ = std::string(a->value[0].text);
        return it->second;
      }
    }
    if (p_.pinMapGeneric) {
      auto it = p_.pinMapConstants.find(upper(*p_.pinMapGeneric));
      if (it == p_.pinMapConstants.end())
        fail(p_.genericLine, "PHYSICAL_PIN_MAP selects package " + *p_.pinMapGeneric +
                                 ", but no constant " + *p_.pinMapGeneric + " : PIN_MAP_STRING is defined");
      pinMapName_ = *p_.pinMapGeneric;
      return it->second;
    }
    if (p_.pinMapConstants.size() > 1)
      fail(p_.genericLine ? p_.genericLine : p_.entityLine,
           "several PIN_MAP_STRING constants and no default package: expected a default for PHYSICAL_PIN_MAP");
    pinMapName_ = p_.pinMapConstantOrder.front();
    return p_.pinMapConstants.begin()->second;
  }

  // "PORT : PIN, VEC : (PIN, PIN, ...)" -> one element per port bit with its pin.
  void readPinMap() {
    const StringValue& map = choosePinMap();
    StringScanner s(map, p_, "PIN_MAP_STRING " + pinMapName_);
    struct Mapped {
      std::vector<std::pair<std::string_view, int>> pins;  // pin, line
      int line;
    };
    std::vector<std::optional<Mapped>> byPort(p_.ports.size());
    std::unordered_map<std::string, std::string> pinOwner;  // upper pin -> port name
    while (!s.atEnd()) {
      Item portName = s.expectWord("a port name");
      auto pit = portIndex_.find(upper(portName.text));
      if (pit == portIndex_.end())
        s.failAt(portName, "PIN_MAP_STRING " + pinMapName_ + " maps " + std::string(portName.text) +
                               ", which the port list does not declare");
      const Port& port = p_.ports[pit->second];
      if (byPort[pit->second])
        s.failAt(portName, "PIN_MAP_STRING " + pinMapName_ + " maps port " + port.name + " twice");
      s.expectPunct(':', [&] { return "after port " + std::string(portName.text); });
      Mapped m;
      m.line = s.lineOf(portName);
      auto takePin = [&] {
        Item pin = s.expectWord([&] { return "a pin name for port " + port.name; });
        std::string key = upper(pin.text);
        auto [it, fresh] = pinOwner.emplace(key, port.name);
        if (!fresh)
          s.failAt(pin, "pin " + std::string(pin.text) + " is mapped to both " + it->second + " and " + port.name);
        m.pins.emplace_back(pin.text, s.lineOf(pin));
      };
      if (s.isPunct('(')) {
        s.take();
        takePin();
        while (s.isPunct(',')) {
          s.take();
          takePin();
        }
        s.expectPunct(')', [&] { return "to close the pin list of port " + port.name; });
      } else {
        takePin();
      }
      if (int64_t(m.pins.size()) != port.width())
        fail(m.line, "PIN_MAP_STRING " + pinMapName_ + " gives port " + port.name + " " +
                         std::to_string(m.pins.size()) + " pin(s), but the port has " + std::to_string(port.width()) +
                         " bit(s)");
      byPort[pit->second] = std::move(m);
      if (!s.atEnd()) s.expectPunct(',', "between port mappings");
    }
    for (size_t i = 0; i < p_.ports.size(); ++i) {
      const Port& port = p_.ports[i];
      if (!byPort[i])
        fail(port.line, "port " + port.name + " has no pins in PIN_MAP_STRING " + pinMapName_);
      for (int64_t k = 0; k < port.width(); ++k) {
        PortElement e;
        e.port = i;
        e.index = port.indexAt(k);
        e.name = port.vector ? port.name + "(" + std::to_string(e.index) + ")" : port.name;
        e.pin = std::string(byPort[i]->pins[size_t(k)].first);
        elementIndex_.emplace(upper(e.name), elements_.size());
        elements_.push_back(std::move(e));
      }
    }
  }

  // The element of a scalar port named by a TAP attribute.
  size_t tapElement(const Attribute& a, std::initializer_list<PortMode> modes, const char* modeText) {
    auto it = portIndex_.find(upper(a.target));
    if (it == portIndex_.end())
      fail(a.line, "attribute " + a.written + " names port " + a.target + ", which the port list does not declare");
    const Port& port = p_.ports[it->second];
    if (port.vector) fail(a.line, "attribute " + a.written + " needs a single-bit port, but " + port.name + " is a bit_vector");
    if (std::find(modes.begin(), modes.end(), port.mode) == modes.end())
      fail(a.line, "attribute " + a.written + " needs " + modeText + " port, but " + port.name + " is declared otherwise");
    return elementIndex_.at(upper(port.name));
  }

  bool boolOf(const Attribute& a) const {
    if (a.value.size() == 1 && a.value[0].kind == Tok::Ident) {
      if (same(a.value[0].text, "true")) return true;
      if (same(a.value[0].text, "false")) return false;
    }
    fail(a.line, "expected 'true' or 'false' as the value of " + a.written);
  }

  void readTap() {
    static const std::initializer_list<PortMode> kIn = {PortMode::In, PortMode::InOut};
    static const std::initializer_list<PortMode> kOut = {PortMode::Out, PortMode::InOut, PortMode::Buffer};
    struct TapRow {
      const char* attr;
      TScanPinKind kind;
      bool required;
      bool output;
    };
    static const TapRow kRows[] = {{"TAP_SCAN_IN", eScanPinKind_TDI, true, false},
                                   {"TAP_SCAN_OUT", eScanPinKind_TDO, true, true},
                                   {"TAP_SCAN_MODE", eScanPinKind_TMS, true, false},
                                   {"TAP_SCAN_CLOCK", eScanPinKind_TCK, true, false},
                                   {"TAP_SCAN_RESET", eScanPinKind_TRST, false, false}};
    for (const TapRow& row : kRows) {
      const Attribute* a = row.required ? &require(row.attr) : find(row.attr);
      if (!a) continue;
      size_t e = row.output ? tapElement(*a, kOut, "an out") : tapElement(*a, kIn, "an in");
      if (row.kind == eScanPinKind_TCK) {
        readScanClock(*a);
      } else if (!boolOf(*a)) {
        continue;
      }
      for (const auto& [kind, other] : tap_)
        if (other == e)
          fail(a->line, "port " + elements_[e].name + " is named by two TAP attributes");
      tap_.emplace_back(row.kind, e);
    }
  }

  // (frequency, LOW | BOTH)
  void readScanClock(const Attribute& a) {
    const auto& v = a.value;
    auto bad = [&](const std::string& what) {
      fail(a.line, "expected " + what + " in TAP_SCAN_CLOCK, written as (frequency, LOW) or (frequency, BOTH)");
    };
    if (v.size() != 5 || v[0].text != "(" || v[2].text != "," || v[4].text != ")") bad("a parenthesised pair");
    if (v[1].kind != Tok::Number) bad("the highest TCK frequency in Hz");
    std::string number;
    for (char c : v[1].text)
      if (c != '_') number += c;
    char* end = nullptr;
    errno = 0;
    double f = std::strtod(number.c_str(), &end);
    if (errno == ERANGE || end != number.c_str() + number.size() || !(f >= 0)) bad("a usable TCK frequency");
    clockSpeed_ = f;
    if (v[3].kind == Tok::Ident && same(v[3].text, "LOW")) clockHalt_ = eScanClockHaltMode_Low;
    else if (v[3].kind == Tok::Ident && same(v[3].text, "BOTH")) clockHalt_ = eScanClockHaltMode_Both;
    else bad("the halt state LOW or BOTH");
  }

  // -- instructions --

  void readInstructions() {
    const Attribute& lenAttr = require("INSTRUCTION_LENGTH");
    irLength_ = integerOf(lenAttr);
    if (irLength_ < 2) fail(lenAttr.line, "INSTRUCTION_LENGTH is " + std::to_string(irLength_) + ", expected at least 2");

    const Attribute& opAttr = require("INSTRUCTION_OPCODE");
    StringValue ops = stringOf(opAttr);
    StringScanner s(ops, p_, "INSTRUCTION_OPCODE");
    while (!s.atEnd()) {
      Item name = s.expectWord("an instruction name");
      if (!isIdentStart(name.text[0])) s.failAt(name, "expected an instruction name, found '" + std::string(name.text) + "'");
      std::string key = upper(name.text);
      if (opIndex_.count(key)) s.failAt(name, "instruction " + std::string(name.text) + " is defined twice");
      OpCodeEntry e;
      e.name = std::string(name.text);
      e.line = s.lineOf(name);
      s.expectPunct('(', "after instruction " + e.name);
      for (;;) {
        Item bits = s.expectWord("an opcode of instruction " + e.name);
        e.patterns.push_back(bitPattern(s, bits, size_t(irLength_), "the opcode of " + e.name));
        if (!s.isPunct(',')) break;
        s.take();
      }
      s.expectPunct(')', "after the opcodes of " + e.name);
      opIndex_.emplace(key, opcodes_.size());
      opcodes_.push_back(std::move(e));
      if (!s.atEnd()) s.expectPunct(',', "between instructions");
    }
    if (opcodes_.empty()) fail(opAttr.line, "INSTRUCTION_OPCODE defines no instruction");

    if (const Attribute* cap = find("INSTRUCTION_CAPTURE")) {
      StringValue v = stringOf(*cap);
      StringScanner cs(v, p_, "INSTRUCTION_CAPTURE");
      Item bits = cs.expectWord("the captured bit pattern");
      bitPattern(cs, bits, size_t(irLength_), "INSTRUCTION_CAPTURE");
      if (!cs.atEnd()) cs.fail("the end of the pattern");
    }
    if (const Attribute* priv = find("INSTRUCTION_PRIVATE")) {
      StringValue v = stringOf(*priv);
      StringScanner ps(v, p_, "INSTRUCTION_PRIVATE");
      while (!ps.atEnd()) {
        Item name = ps.expectWord("an instruction name");
        if (!opIndex_.count(upper(name.text)))
          ps.failAt(name, "INSTRUCTION_PRIVATE names " + std::string(name.text) + ", which INSTRUCTION_OPCODE does not define");
        if (!ps.atEnd()) ps.expectPunct(',', "between instruction names");
      }
    }
  }

  // A 32-bit register value given as one or more alternative patterns.
  std::vector<std::string> readRegisterPatterns(const Attribute& a) {
    StringValue v = stringOf(a);
    StringScanner s(v, p_, a.written);
    std::vector<std::string> out;
    for (;;) {
      Item bits = s.expectWord("a 32-bit pattern");
      out.push_back(bitPattern(s, bits, 32, a.written));
      if (s.atEnd()) break;
      s.expectPunct(',', "between alternative patterns");
    }
    return out;
  }

  void readIdRegisters() {
    if (const Attribute* id = find("IDCODE_REGISTER")) idCode_ = patternValue(readRegisterPatterns(*id).front());
    if (const Attribute* uc = find("USERCODE_REGISTER")) readRegisterPatterns(*uc);
  }

  // -- boundary register --

  void readBoundary() {
    const Attribute& lenAttr = require("BOUNDARY_LENGTH");
    boundaryLength_ = integerOf(lenAttr);
    const Attribute& regAttr = require("BOUNDARY_REGISTER");
    StringValue reg = stringOf(regAttr);
    StringScanner s(reg, p_, "BOUNDARY_REGISTER");
    while (!s.atEnd()) {
      cells_.push_back(readCell(s));
      if (!s.atEnd()) s.expectPunct(',', "between cells");
    }
    if (int64_t(cells_.size()) < boundaryLength_)
      fail(lenAttr.line, "BOUNDARY_LENGTH is " + std::to_string(boundaryLength_) + ", but BOUNDARY_REGISTER describes only " +
                             std::to_string(cells_.size()) + " cell(s)");

    // Every number 0 .. length-1 exactly once; a number may appear a second time for a merged cell
    // that serves another function.
    std::vector<int32_t> first(size_t(boundaryLength_), -1);
    std::vector<int32_t> seen(size_t(boundaryLength_), 0);
    for (size_t i = 0; i < cells_.size(); ++i) {
      const CellEntry& c = cells_[i];
      if (c.number >= boundaryLength_)
        fail(c.line, "cell " + std::to_string(c.number) + " lies outside the boundary register: BOUNDARY_LENGTH is " +
                         std::to_string(boundaryLength_));
      int32_t& n = seen[size_t(c.number)];
      if (n == 1 && cells_[size_t(first[size_t(c.number)])].function == c.function)
        fail(c.line, "cell " + std::to_string(c.number) + " is described twice with function " +
                         std::string(CellFunctionName(c.function)) + " (first on line " +
                         std::to_string(cells_[size_t(first[size_t(c.number)])].line) + ")");
      if (n >= 2) fail(c.line, "cell " + std::to_string(c.number) + " is described more than twice");
      if (n == 0) first[size_t(c.number)] = int32_t(i);
      ++n;
      if (c.function == eCellFunction_Control || c.function == eCellFunction_ControlR)
        controlEntry_.emplace(c.number, i);
    }
    for (size_t k = 0; k < seen.size(); ++k)
      if (!seen[k])
        fail(regAttr.line, "BOUNDARY_LENGTH is " + std::to_string(boundaryLength_) + ", but BOUNDARY_REGISTER does not describe cell " +
                               std::to_string(k));
    for (const CellEntry& c : cells_) {
      if (c.control < 0) continue;
      if (c.control >= boundaryLength_)
        fail(c.line, "cell " + std::to_string(c.number) + " names control cell " + std::to_string(c.control) +
                         ", which lies outside the boundary register of length " + std::to_string(boundaryLength_));
      if (!controlEntry_.count(c.control))
        fail(c.line, "cell " + std::to_string(c.number) + " names control cell " + std::to_string(c.control) +
                         ", which is no CONTROL or CONTROLR cell");
    }
  }

  // num (cell, port, function, safe [, ccell, disval, rslt])
  CellEntry readCell(StringScanner& s) {
    CellEntry c{};
    Item num = s.peek();
    c.line = s.lineOf(num);
    c.number = int32_t(s.expectNumber("a cell number"));
    // "<what>cell <number>", made only when a message needs it.
    auto of = [&c](const char* what) { return [&c, what] { return what + ("cell " + std::to_string(c.number)); }; };
    auto label = of("");
    s.expectPunct('(', of("after "));
    Item kind = s.expectWord(of("the cell type of "));
    c.kind = parseCellKind(kind.text).value_or(eCellKind_Undefined);  // cells of other packages stay undefined
    s.expectPunct(',', of("after the cell type of "));
    if (s.isPunct('*')) {
      s.take();
      c.port = "*";
    } else {
      Item port = s.expectWord(of("a port name or '*' for "));
      std::string key = upper(port.text);
      c.port = std::string(port.text);
      if (s.isPunct('(')) {
        s.take();
        int64_t idx = s.expectNumber([&] { return "the bit index of port " + c.port; });
        s.expectPunct(')', [&] { return "after the bit index of port " + c.port; });
        c.port += "(" + std::to_string(idx) + ")";
        key += "(" + std::to_string(idx) + ")";
      }
      auto it = elementIndex_.find(key);
      if (it == elementIndex_.end()) {
        auto pit = portIndex_.find(upper(port.text));
        if (pit != portIndex_.end() && p_.ports[pit->second].vector && c.port.find('(') == std::string::npos)
          s.failAt(port, label() + " names bit_vector port " + c.port + " without a bit index");
        s.failAt(port, label() + " names port " + c.port + ", which the port list does not declare");
      }
      c.element = it->second;
      c.port = elements_[it->second].name;
    }
    s.expectPunct(',', of("after the port of "));
    Item fn = s.expectWord(of("the function of "));
    auto function = parseCellFunction(fn.text);
    if (!function || *function == eCellFunction_Undefined)
      s.failAt(fn, "expected the function of " + label() +
                       " (INPUT, CLOCK, OUTPUT2, OUTPUT3, CONTROL, CONTROLR, INTERNAL, BIDIR or OBSERVE_ONLY), found '" +
                       std::string(fn.text) + "'");
    c.function = *function;
    s.expectPunct(',', of("after the function of "));
    Item safe = s.expectWord(of("the safe bit of "));
    auto safeBit = parseBitValue(safe.text);
    if (!safeBit) s.failAt(safe, "expected the safe bit 0, 1 or X of " + label() + ", found '" + std::string(safe.text) + "'");
    c.safe = *safeBit;
    if (s.isPunct(',')) {
      s.take();
      c.control = int32_t(s.expectNumber(of("the control cell number of ")));
      s.expectPunct(',', of("after the control cell of "));
      Item dv = s.expectWord(of("the disable value of "));
      if (dv.text == "0") c.disableValue = eBit_0;
      else if (dv.text == "1") c.disableValue = eBit_1;
      else s.failAt(dv, "expected the disable value 0 or 1 of " + label() + ", found '" + std::string(dv.text) + "'");
      s.expectPunct(',', of("after the disable value of "));
      Item res = s.expectWord(of("the disable result of "));
      auto result = parseDisableResult(res.text);
      if (!result)
        s.failAt(res, "expected the disable result Z, WEAK0, WEAK1, PULL0, PULL1 or KEEPER of " + label() + ", found '" +
                          std::string(res.text) + "'");
      c.disableResult = *result;
    }
    s.expectPunct(')', of("to close "));
    return c;
  }

  // -- register associations --

  void readRegisters() {
    std::vector<bool> placed(opcodes_.size(), false);
    if (const Attribute* a = find("REGISTER_ACCESS")) {
      StringValue v = stringOf(*a);
      StringScanner s(v, p_, "REGISTER_ACCESS");
      while (!s.atEnd()) {
        Item name = s.expectWord("a register name");
        RegisterEntry r;
        r.name = std::string(name.text);
        r.line = s.lineOf(name);
        for (const RegisterEntry& other : registers_)
          if (same(other.name, r.name)) s.failAt(name, "register " + r.name + " is listed twice");
        if (s.isPunct('[')) {
          s.take();
          r.length = int32_t(s.expectNumber("the length of register " + r.name));
          r.lengthGiven = true;
          s.expectPunct(']', "after the length of register " + r.name);
        }
        int32_t fixed = standardRegisterLength(r.name);
        if (fixed >= 0) {
          if (r.lengthGiven && r.length != fixed)
            s.failAt(name, "register " + r.name + " is given length " + std::to_string(r.length) + ", but its length is " +
                               std::to_string(fixed));
          r.length = fixed;
        }
        s.expectPunct('(', "after register " + r.name);
        for (;;) {
          Item instr = s.expectWord("an instruction name for register " + r.name);
          auto it = opIndex_.find(upper(instr.text));
          if (it == opIndex_.end())
            s.failAt(instr, "REGISTER_ACCESS names instruction " + std::string(instr.text) +
                                ", which INSTRUCTION_OPCODE does not define");
          if (placed[it->second])
            s.failAt(instr, "instruction " + std::string(instr.text) + " is given more than one register");
          placed[it->second] = true;
          r.opcodes.push_back(it->second);
          if (s.peek().kind == Item::Word && same(s.peek().text, "CAPTURES")) {
            s.take();
            s.expectWord("the captured pattern of " + std::string(instr.text));
          }
          if (!s.isPunct(',')) break;
          s.take();
        }
        s.expectPunct(')', "after the instructions of register " + r.name);
        registers_.push_back(std::move(r));
        if (!s.atEnd()) s.expectPunct(',', "between registers");
      }
    }
    // Registers the standard fixes for its instructions when REGISTER_ACCESS does not say otherwise.
    for (size_t i = 0; i < opcodes_.size(); ++i) {
      if (placed[i]) continue;
      const char* reg = standardRegisterOf(opcodes_[i].name);
      if (!reg) continue;
      auto it = std::find_if(registers_.begin(), registers_.end(), [&](const RegisterEntry& r) { return same(r.name, reg); });
      if (it == registers_.end()) {
        RegisterEntry r;
        r.name = reg;
        r.length = standardRegisterLength(reg);
        r.line = opcodes_[i].line;
        registers_.push_back(std::move(r));
        it = std::prev(registers_.end());
      }
      it->opcodes.push_back(i);
    }
  }

  int32_t standardRegisterLength(std::string_view name) const {
    if (same(name, "BYPASS")) return 1;
    if (same(name, "DEVICE_ID")) return 32;
    if (same(name, "BOUNDARY")) return int32_t(boundaryLength_);
    return -1;
  }

  static const char* standardRegisterOf(std::string_view instruction) {
    static const std::pair<const char*, const char*> kStandard[] = {
        {"BYPASS", "BYPASS"},    {"CLAMP", "BYPASS"},     {"HIGHZ", "BYPASS"},       {"EXTEST", "BOUNDARY"},
        {"SAMPLE", "BOUNDARY"},  {"PRELOAD", "BOUNDARY"}, {"INTEST", "BOUNDARY"},    {"IDCODE", "DEVICE_ID"},
        {"USERCODE", "DEVICE_ID"}};
    for (const auto& [instr, reg] : kStandard)
      if (same(instruction, instr)) return reg;
    return nullptr;
  }

  // -- the entity --

  static TPinElectrical directionOf(PortMode m) {
    switch (m) {
      case PortMode::In: return eElectricInput;
      case PortMode::Out: return eElectricOutput;
      case PortMode::InOut: return eElectricIO;
      case PortMode::Buffer: return eElectricOutput;
      case PortMode::Linkage: return eElectricPassive;
    }
    return eElectricPassive;
  }

  static TScanPinKind supplyKindOf(std::string_view name) {
    std::string u = upper(name);
    auto starts = [&](const char* p) { return u.rfind(p, 0) == 0; };
    if (starts("GND") || starts("VSS")) return eScanPinKind_Ground;
    if (starts("VCC") || starts("VDD")) return eScanPinKind_Power;
    return eScanPinKind_Normal;
  }

  std::unique_ptr<TBSDLEntity> create() {
    auto entity = std::make_unique<TBSDLEntity>();
    TBSDLEntity* e = entity.get();
    e->Name = p_.entityName;
    e->Filename = file_;
    e->InstructionLength = int32_t(irLength_);
    e->IdCode = idCode_;
    e->BoundaryLength = int32_t(boundaryLength_);
    e->ScanClockMaxSpeed = clockSpeed_;
    e->ScanClockHaltMode = clockHalt_;
    if (const Attribute* a = find("COMPONENT_CONFORMANCE")) e->ConformanceStatement = stringOf(*a).text;
    else
      for (const std::string& u : p_.useClauses)
        if (upper(u).rfind("STD_1149_1_", 0) == 0) e->ConformanceStatement = u;
    if (const Attribute* a = find("COMPLIANCE_PATTERNS")) e->CompliancePattern = stringOf(*a).text;
    if (const Attribute* a = find("DESIGN_WARNING")) e->DesignWarning = stringOf(*a).text;
    for (const Attribute& a : p_.attributes) {
      auto attr = std::make_unique<TVHDLAttribute>();
      attr->Name = a.written;
      attr->Target = a.target;
      attr->Line = a.line;
      attr->Value = valueText(a);
      e->Attributes.push_back(std::move(attr));
    }

    // Pins with their mappings.
    std::vector<TScanPin*> pins;
    pins.reserve(elements_.size());
    for (const PortElement& el : elements_) {
      const Port& port = p_.ports[el.port];
      auto pin = std::make_unique<TScanPin>(e);
      pin->SetDirection(directionOf(port.mode));
      pin->SetPinName(el.name);
      pin->SetPinNumber(el.pin);
      if (port.mode == PortMode::Linkage) {
        TScanPinKind k = supplyKindOf(port.name);
        pin->SetKind(k);
        if (k != eScanPinKind_Normal) pin->SetDirection(eElectricPower);
      }
      auto mapping = std::make_unique<TPinMapping>(e);
      mapping->SetPinName(el.name);
      mapping->SetPinNumber(el.pin);
      mapping->SetScanPin(pin.get());
      pin->SetPinMapping(e->AddPinMapping(std::move(mapping)));
      pins.push_back(e->AddPin(std::move(pin)));
    }
    for (const auto& [kind, element] : tap_) {
      TScanPin* pin = pins[element];
      pin->SetKind(kind);
      switch (kind) {
        case eScanPinKind_TDI: e->TAP_TDI = pin; break;
        case eScanPinKind_TDO: e->TAP_TDO = pin; break;
        case eScanPinKind_TMS: e->TAP_TMS = pin; break;
        case eScanPinKind_TCK: e->TAP_TCK = pin; break;
        case eScanPinKind_TRST: e->TAP_TRST = pin; break;
        default: break;
      }
    }

    // Cells, then their links.
    std::vector<TBoundaryCell*> cells;
    cells.reserve(cells_.size());
    for (const CellEntry& c : cells_) {
      auto cell = std::make_unique<TBoundaryCell>(e);
      cell->SetCellNumber(c.number);
      cell->SetCellKind(c.kind);
      cell->SetPortId(c.port);
      cell->SetCellFunction(c.function);
      cell->SetSafeBit(c.safe);
      cell->SetControlCellNumber(c.control);
      cell->SetDisableValue(c.disableValue);
      cell->SetDisableResult(c.disableResult);
      cells.push_back(e->AddBoundaryCell(std::move(cell)));
    }
    for (size_t i = 0; i < cells_.size(); ++i) {
      const CellEntry& c = cells_[i];
      TBoundaryCell* cell = cells[i];
      if (c.element) {
        TScanPin* pin = pins[*c.element];
        cell->SetPin(pin);
        pin->AddBoundaryCell(cell);
      }
      if (c.control >= 0) {
        TBoundaryCell* control = cells[controlEntry_.at(c.control)];
        cell->SetControlCell(control);
        if (!control->TargetCell && control != cell) control->SetTargetCell(cell);
      }
    }

    // Instructions.
    std::vector<TInstructionOpCode*> ops;
    for (const OpCodeEntry& o : opcodes_) {
      auto op = std::make_unique<TInstructionOpCode>(e);
      op->SetInstructionName(o.name);
      std::string joined;
      for (const std::string& p : o.patterns) joined += (joined.empty() ? "" : ",") + p;
      op->SetOpCodePattern(joined);
      op->InstructionCode = patternValue(o.patterns.front());
      setStandardCode(*e, o.name, op->InstructionCode);
      ops.push_back(e->AddInstructionOpCode(std::move(op)));
    }
    for (const RegisterEntry& r : registers_) {
      auto reg = std::make_unique<TRegisterAssociation>(e);
      reg->SetRegisterName(r.name);
      reg->SetRegisterLength(r.length);
      for (size_t k : r.opcodes) reg->AddOpCode(ops[k]);
      e->AddRegisterAssociation(std::move(reg));
    }
    return entity;
  }

  static void setStandardCode(TBSDLEntity& e, std::string_view name, uint32_t code) {
    if (same(name, "BYPASS")) e.Instruction_BYPASS = code;
    else if (same(name, "EXTEST")) e.Instruction_EXTEST = code;
    else if (same(name, "SAMPLE")) e.Instruction_SAMPLE = code;
    else if (same(name, "IDCODE")) e.Instruction_IDCODE = code;
    else if (same(name, "USERCODE")) e.Instruction_USERCODE = code;
    else if (same(name, "CLAMP")) e.Instruction_CLAMP = code;
    else if (same(name, "HIGHZ")) e.Instruction_HIGHZ = code;
  }

  // The attribute's value as text: joined string literals, else the source text as written.
  static std::string valueText(const Attribute& a) {
    if (a.value.empty()) return {};
    if (a.value.front().kind == Tok::String) {
      std::string s;
      for (const Token& t : a.value)
        if (t.kind == Tok::String) s.append(t.text);
      return s;
    }
    const char* begin = a.value.front().raw.data();
    const char* end = a.value.back().raw.data() + a.value.back().raw.size();
    return std::string(begin, size_t(end - begin));
  }

  Parser& p_;
  const std::string& file_;
  std::unordered_map<std::string, const Attribute*> known_;
  std::unordered_map<std::string, size_t> portIndex_;
  std::string pinMapName_;
  std::vector<PortElement> elements_;
  std::unordered_map<std::string, size_t> elementIndex_;
  std::vector<std::pair<TScanPinKind, size_t>> tap_;
  double clockSpeed_ = 0;
  TScanClockHaltMode clockHalt_ = eScanClockHaltMode_None;
  int64_t irLength_ = 0;
  std::vector<OpCodeEntry> opcodes_;
  std::unordered_map<std::string, size_t> opIndex_;
  uint32_t idCode_ = 0;
  int64_t boundaryLength_ = 0;
  std::vector<CellEntry> cells_;
  std::unordered_map<int32_t, size_t> controlEntry_;  // cell number -> its CONTROL/CONTROLR entry
  std::vector<RegisterEntry> registers_;
};

}  // namespace

std::unique_ptr<TBSDLEntity> ReadBSDLText(std::string_view text, const std::string& sourceName) {
  Parser parser(text, sourceName);
  parser.parse();
  return Builder(parser, sourceName).build();
}

std::unique_ptr<TBSDLEntity> ReadBSDLFile(const std::string& path) {
  constexpr uintmax_t kMaxSize = 64u << 20;
  std::error_code ec;
  auto status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status)) throw BSDLReadError(path, 0, "cannot open the BSDL file: it does not exist");
  if (!std::filesystem::is_regular_file(status)) throw BSDLReadError(path, 0, "cannot read the BSDL file: not a regular file");
  uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) throw BSDLReadError(path, 0, "cannot read the BSDL file: " + ec.message());
  if (size > kMaxSize) throw BSDLReadError(path, 0, "the file is too large for a BSDL description (" + std::to_string(size) + " bytes)");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw BSDLReadError(path, 0, std::string("cannot open the BSDL file: ") + std::strerror(errno));
  std::string text(size_t(size), '\0');
  in.read(text.data(), std::streamsize(size));
  if (in.gcount() != std::streamsize(size)) throw BSDLReadError(path, 0, "cannot read the whole BSDL file");
  return ReadBSDLText(text, path);
}

}  // namespace zolta
