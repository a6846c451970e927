#include "tam/Tam.h"

#include "rix/TamLexer.h"
#include "tam/TamException.h"
#include "tam/TamWindow.h"

namespace {

constexpr int kNotInitializedCode = 3;

// Plain identifiers are written bare; anything else goes between single quotes with backslashes
// doubled and quotes escaped, which the lexer reads back as one identifier of the same value.
// Module identifiers may also begin with a digit, since the lexer reads digits before a ":" as
// an identifier.
std::string quoteId(const std::string& id, bool moduleRule) {
  using tam::detail::isRixDigit;
  using tam::detail::isRixLetter;
  if (id.empty()) return id;
  const unsigned char first = static_cast<unsigned char>(id[0]);
  bool plain = isRixLetter(first) || first == '_' || (moduleRule && isRixDigit(first));
  for (size_t i = 1; plain && i < id.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(id[i]);
    plain = isRixLetter(c) || isRixDigit(c) || c == '_';
  }
  if (plain) return id;
  // One pass, however many characters need escaping.
  std::string quoted;
  quoted.reserve(id.size() + id.size() / 8 + 2);
  quoted += '\'';
  for (const char c : id) {
    if (c == '\\' || c == '\'') quoted += '\\';
    quoted += c;
  }
  quoted += '\'';
  return quoted;
}

}  // namespace

Tam::AdapterInterface*& Tam::adptInterface() {
  static AdapterInterface* adapter = nullptr;
  return adapter;
}

void Tam::initialize(AdapterInterface* adapter) { adptInterface() = adapter; }

Tam::AdapterInterface* Tam::adapterInterface() { return adptInterface(); }

ref_count_ptr<TamWindow> Tam::createWindow() {
  if (adapterInterface() == nullptr) throw TamException(kNotInitializedCode, "", "", "");
  return new TamWindow();
}

std::string Tam::rixQuoteId(const std::string& id) { return quoteId(id, false); }
std::string Tam::rixQuoteModuleId(const std::string& id) { return quoteId(id, true); }

std::string Tam::rixQuoteOptionName(const std::string& name) {
  if (name.empty()) return "''";  // written as nothing it would not read back
  std::string quoted = quoteId(name, false);
  // A keyword is made of letters and underscores only, so quoting needs no escapes.
  return tam::detail::isRixKeyword(quoted) ? "'" + quoted + "'" : quoted;
}
