#include "JsonDocument.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <set>
#include <vector>

#include "Diagnostics.h"
#include "Files.h"

namespace {

using Json = JsonDocument::Json;

// Product files are shallow; deeper nesting is refused so that no input can make the reader's
// bookkeeping (one pointer text per level) grow without bound.
constexpr std::size_t kMaxNesting = 256;

// Where the reader stands: the line of the last character that was not white space. The JSON
// reader reports a value once it has read its last character (and, for numbers, one character
// more, which is never a character of the value), so this is the line the value ends on.
struct ReadPosition {
  int line = 1;
  int lastTokenLine = 1;
  // Byte offsets, for the places of values: the next character, the opening quote of the last
  // string begun, the first character of the last other scalar begun (a number, true, false,
  // null), and the last "{" or "[".
  std::size_t offset = 0;
  bool inString = false;
  bool escaped = false;
  std::size_t stringStart = 0;
  std::size_t scalarStart = 0;
  std::size_t containerStart = 0;
  bool afterSeparator = true;  // the last character outside strings was white space or structure
};

bool isStructural(char c) {
  return c == '{' || c == '}' || c == '[' || c == ']' || c == ',' || c == ':';
}

// Follows one character of JSON text: strings with their escapes, and where tokens begin.
void follow(ReadPosition& position, char c) {
  if (position.inString) {
    if (position.escaped) {
      position.escaped = false;
    } else if (c == '\\') {
      position.escaped = true;
    } else if (c == '"') {
      position.inString = false;
    }
  } else if (c == '"') {
    position.inString = true;
    position.stringStart = position.offset;
    position.afterSeparator = false;
  } else if (std::isspace(static_cast<unsigned char>(c)) || isStructural(c)) {
    if (c == '{' || c == '[') position.containerStart = position.offset;
    position.afterSeparator = true;
  } else {
    if (position.afterSeparator) position.scalarStart = position.offset;
    position.afterSeparator = false;
  }
  ++position.offset;
}

// A character iterator over the text that keeps ReadPosition up to date as the reader advances.
class CountingIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  CountingIterator(const char* p, ReadPosition* position) : p_(p), position_(position) {}
  reference operator*() const { return *p_; }
  CountingIterator& operator++() {
    follow(*position_, *p_);
    if (*p_ == '\n') {
      ++position_->line;
    } else if (!std::isspace(static_cast<unsigned char>(*p_))) {
      position_->lastTokenLine = position_->line;
    }
    ++p_;
    return *this;
  }
  bool operator==(const CountingIterator& other) const { return p_ == other.p_; }
  bool operator!=(const CountingIterator& other) const { return p_ != other.p_; }

 private:
  const char* p_;
  ReadPosition* position_;
};

// Builds the document from the reader's events and records the line of every value by pointer.
class LineRecorder : public nlohmann::json_sax<Json> {
 public:
  LineRecorder(Json& root, std::map<std::string, int>& lines,
               std::map<std::string, std::size_t>& offsets, const ReadPosition& position)
      : root_(root), lines_(lines), offsets_(offsets), position_(position) {}

  bool null() override { return add(nullptr, position_.scalarStart); }
  bool boolean(bool value) override { return add(value, position_.scalarStart); }
  bool number_integer(number_integer_t value) override {
    return add(value, position_.scalarStart);
  }
  bool number_unsigned(number_unsigned_t value) override {
    return add(value, position_.scalarStart);
  }
  bool number_float(number_float_t value, const string_t&) override {
    return add(value, position_.scalarStart);
  }
  bool string(string_t& value) override { return add(value, position_.stringStart); }
  bool binary(binary_t& value) override { return add(Json::binary(value), position_.offset); }

  bool start_object(std::size_t) override { return open(Json::object()); }
  bool start_array(std::size_t) override { return open(Json::array()); }
  bool end_object() override { return close(); }
  bool end_array() override { return close(); }

  bool key(string_t& key) override {
    Frame& top = frames_.back();
    top.key = key;
    std::string pointer = JsonDocument::member(top.pointer, key);
    if (!top.keys.insert(key).second) {
      duplicateKey_ = key;
      duplicateOffset_ = position_.stringStart;
      duplicateFirstOffset_ = keyOffsets_[pointer];
      return false;
    }
    lines_.emplace(pointer, position_.lastTokenLine);
    keyOffsets_[pointer] = position_.stringStart;
    member_ = &(*top.value)[key];
    return true;
  }

  bool parse_error(std::size_t position, const std::string&,
                   const nlohmann::detail::exception& ex) override {
    errorByte_ = position;
    errorMessage_ = ex.what();
    return false;
  }

  bool failed() const {
    return !errorMessage_.empty() || !duplicateKey_.empty() || tooDeepLine_ > 0;
  }
  int tooDeepLine() const { return tooDeepLine_; }
  std::size_t errorByte() const { return errorByte_; }
  const std::string& errorMessage() const { return errorMessage_; }
  const std::string& duplicateKey() const { return duplicateKey_; }
  // The opening quotes of the repeated key and of its first occurrence.
  std::size_t duplicateOffset() const { return duplicateOffset_; }
  std::size_t duplicateFirstOffset() const { return duplicateFirstOffset_; }

 private:
  struct Frame {
    Json* value;
    std::string pointer;
    std::size_t nextIndex = 0;
    std::string key;
    std::set<std::string> keys;
  };

  // The slot the next value goes into, and its pointer.
  Json* slot(std::string& pointer) {
    if (frames_.empty()) {
      pointer.clear();
      return &root_;
    }
    Frame& top = frames_.back();
    if (top.value->is_array()) {
      pointer = JsonDocument::element(top.pointer, top.nextIndex++);
      top.value->push_back(nullptr);
      return &top.value->back();
    }
    pointer = JsonDocument::member(top.pointer, top.key);
    return member_;
  }

  template <class Value>
  bool add(Value&& value, std::size_t offset) {
    std::string pointer;
    Json* target = slot(pointer);
    *target = Json(std::forward<Value>(value));
    lines_.emplace(pointer, position_.lastTokenLine);
    offsets_[pointer] = offset;
    return true;
  }

  bool open(Json container) {
    if (frames_.size() >= kMaxNesting) {
      tooDeepLine_ = position_.lastTokenLine;
      return false;
    }
    std::string pointer;
    Json* target = slot(pointer);
    *target = std::move(container);
    lines_.emplace(pointer, position_.lastTokenLine);
    offsets_[pointer] = position_.containerStart;
    frames_.push_back(Frame{target, pointer, 0, "", {}});
    return true;
  }

  bool close() {
    frames_.pop_back();
    return true;
  }

  Json& root_;
  std::map<std::string, int>& lines_;
  std::map<std::string, std::size_t>& offsets_;
  const ReadPosition& position_;
  std::vector<Frame> frames_;
  Json* member_ = nullptr;
  std::size_t errorByte_ = 0;
  std::string errorMessage_;
  std::string duplicateKey_;
  std::size_t duplicateOffset_ = 0;
  std::size_t duplicateFirstOffset_ = 0;
  std::map<std::string, std::size_t> keyOffsets_;
  int tooDeepLine_ = 0;
};

// The reader's message without its "[json.exception...] parse error at line L, column C: " lead,
// since the diagnostic states the place itself.
std::string plainMessage(const std::string& what) {
  std::size_t at = what.find(", column ");
  if (at != std::string::npos) {
    std::size_t colon = what.find(": ", at);
    if (colon != std::string::npos) return what.substr(colon + 2);
  }
  std::size_t bracket = what.find("] ");
  return bracket == std::string::npos ? what : what.substr(bracket + 2);
}

}  // namespace

JsonDocument JsonDocument::read(const std::string& path) {
  std::string text;
  std::string problem;
  if (!readTextFile(path, text, problem)) {
    throw ToolError(Diagnostic::error(SourcePlace::fileOnly(path), problem), kExitUsage);
  }
  return parse(path, text);
}

JsonDocument JsonDocument::parse(const std::string& path, const std::string& text) {
  JsonDocument document;
  document.source_ = SourceText(path, text);
  ReadPosition position;
  LineRecorder recorder(document.root_, document.lines_, document.offsets_, position);
  const char* begin = document.source_.text().data();
  const char* end = begin + document.source_.text().size();
  Json::sax_parse(CountingIterator(begin, &position), CountingIterator(end, &position), &recorder);
  const SourceText& source = document.source_;
  if (!recorder.duplicateKey().empty()) {
    const std::size_t keyLength = nlohmann::json(recorder.duplicateKey()).dump().size();
    Diagnostic duplicate = Diagnostic::error(
        source.place(recorder.duplicateOffset(), recorder.duplicateOffset() + keyLength),
        "duplicate key \"" + recorder.duplicateKey() + "\"");
    duplicate.note(source.place(recorder.duplicateFirstOffset(),
                                recorder.duplicateFirstOffset() + keyLength),
                   "first given here");
    throw ToolError(duplicate, kExitUsage);
  }
  if (recorder.tooDeepLine() > 0) {
    throw ToolError(Diagnostic::error(source.placeOfLine(recorder.tooDeepLine()),
                                      "JSON values are nested more than " +
                                          std::to_string(kMaxNesting) + " deep"),
                    kExitUsage);
  }
  if (recorder.failed()) {
    std::size_t byte = recorder.errorByte();
    std::size_t offset = std::min(byte > 0 ? byte - 1 : 0, text.size());
    throw ToolError(Diagnostic::error(source.place(offset),
                                      "invalid JSON: " + plainMessage(recorder.errorMessage())),
                    kExitUsage);
  }
  return document;
}

int JsonDocument::line(const std::string& pointer) const {
  auto it = lines_.find(pointer);
  return it == lines_.end() ? 0 : it->second;
}

std::string JsonDocument::where(const std::string& pointer) const {
  int at = line(pointer);
  return at > 0 ? path() + ":" + std::to_string(at) : path();
}

SourcePlace JsonDocument::place(const std::string& pointer) const {
  auto it = offsets_.find(pointer);
  if (it == offsets_.end()) {
    const int at = line(pointer);
    return at > 0 ? source_.placeOfLine(at) : SourcePlace::fileOnly(path());
  }
  const std::vector<std::size_t> bytes = stringBytes(it->second);
  return bytes.empty() ? source_.place(it->second)
                       : source_.place(it->second, bytes.back() + 1);
}

SourcePlace JsonDocument::placeInString(const std::string& pointer, std::size_t begin,
                                        std::size_t end) const {
  auto it = offsets_.find(pointer);
  if (it == offsets_.end()) return place(pointer);
  const std::vector<std::size_t> bytes = stringBytes(it->second);
  if (bytes.empty()) return place(pointer);
  const auto at = [&](std::size_t i) { return bytes[std::min(i, bytes.size() - 1)]; };
  return source_.place(at(begin), end > begin ? at(end) : 0);
}

// Walks the JSON string at `quote` as the reader decoded it: each escape stands for the bytes it
// decodes to (\uXXXX for one to four UTF-8 bytes, a surrogate pair for four).
std::vector<std::size_t> JsonDocument::stringBytes(std::size_t quote) const {
  const std::string& text = source_.text();
  std::vector<std::size_t> bytes;
  if (quote >= text.size() || text[quote] != '"') return bytes;
  const auto hexValue = [&](std::size_t at, unsigned long& value) {
    if (at + 4 > text.size()) return false;
    value = 0;
    for (std::size_t i = at; i < at + 4; ++i) {
      const char c = text[i];
      if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
      value = value * 16 + static_cast<unsigned long>(
                               std::isdigit(static_cast<unsigned char>(c))
                                   ? c - '0'
                                   : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
    }
    return true;
  };
  std::size_t at = quote + 1;
  while (at < text.size() && text[at] != '"') {
    if (text[at] != '\\') {
      bytes.push_back(at++);
      continue;
    }
    const std::size_t escape = at;
    unsigned long codePoint = 0;
    std::size_t length = 2;
    std::size_t decoded = 1;
    if (at + 1 < text.size() && text[at + 1] == 'u' && hexValue(at + 2, codePoint)) {
      length = 6;
      unsigned long low = 0;
      if (codePoint >= 0xD800 && codePoint < 0xDC00 && at + 11 < text.size() &&
          text[at + 6] == '\\' && text[at + 7] == 'u' && hexValue(at + 8, low)) {
        length = 12;
        decoded = 4;
      } else {
        decoded = codePoint < 0x80 ? 1 : codePoint < 0x800 ? 2 : 3;
      }
    }
    bytes.insert(bytes.end(), decoded, escape);
    at += length;
  }
  bytes.push_back(std::min(at, text.size()));  // the closing quote: the end of the value
  return bytes;
}

std::string JsonDocument::member(const std::string& pointer, const std::string& key) {
  std::string escaped;
  for (char c : key) {
    if (c == '~') {
      escaped += "~0";
    } else if (c == '/') {
      escaped += "~1";
    } else {
      escaped += c;
    }
  }
  return pointer + "/" + escaped;
}

std::string JsonDocument::element(const std::string& pointer, std::size_t index) {
  return pointer + "/" + std::to_string(index);
}
