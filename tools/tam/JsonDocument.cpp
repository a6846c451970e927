#include "JsonDocument.h"

#include <algorithm>
#include <cctype>
#include <iterator>
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

// Where the values of a document stand: by pointer for the root and object members (the line of
// the key, the offsets of the key and of the value), and in one list per array for its elements,
// so that a long list of scalars costs a few bytes per value.
struct Places {
  std::map<std::string, int>& lines;
  std::map<std::string, std::vector<int>>& elementLines;
  std::map<std::string, std::size_t>& offsets;
  std::map<std::string, std::vector<std::size_t>>& elementOffsets;
};

// Builds the document from the reader's events and records the place of every value (Places).
class LineRecorder : public nlohmann::json_sax<Json> {
 public:
  LineRecorder(Json& root, const Places& places, const ReadPosition& position)
      : root_(root), places_(places), position_(position) {}

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
    if (top.value->contains(key)) {
      duplicateKey_ = key;
      duplicateOffset_ = position_.stringStart;
      duplicateFirstOffset_ = keyOffsets_[pointer];
      return false;
    }
    places_.lines.emplace(pointer, position_.lastTokenLine);
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
    return !errorMessage_.empty() || !duplicateKey_.empty() || tooDeepLine_ > 0 || tooManyLine_ > 0;
  }
  int tooDeepLine() const { return tooDeepLine_; }
  int tooManyLine() const { return tooManyLine_; }
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
    std::string key;                           // the member being read, in an object
    std::vector<int>* elementLines = nullptr;  // the lines of the elements, in an array
    std::vector<std::size_t>* elementOffsets = nullptr;  // and where each begins
  };

  // Counts one more value; false once there are more than the document may hold.
  bool count() {
    if (++values_ <= JsonDocument::kMaxValues) return true;
    tooManyLine_ = position_.lastTokenLine;
    return false;
  }

  // The slot the next value goes into, with its line and the offset where it begins recorded.
  Json* slot(std::size_t offset) {
    if (frames_.empty()) {
      places_.lines[""] = position_.lastTokenLine;
      places_.offsets[""] = offset;
      return &root_;
    }
    Frame& top = frames_.back();
    if (top.value->is_array()) {
      top.elementLines->push_back(position_.lastTokenLine);
      top.elementOffsets->push_back(offset);
      top.value->push_back(nullptr);
      return &top.value->back();
    }
    places_.offsets[JsonDocument::member(top.pointer, top.key)] = offset;
    return member_;  // its line is the key's
  }

  // The pointer of the next value.
  std::string nextPointer() const {
    if (frames_.empty()) return "";
    const Frame& top = frames_.back();
    if (top.value->is_array()) return JsonDocument::element(top.pointer, top.value->size());
    return JsonDocument::member(top.pointer, top.key);
  }

  template <class Value>
  bool add(Value&& value, std::size_t offset) {
    if (!count()) return false;
    *slot(offset) = Json(std::forward<Value>(value));
    return true;
  }

  bool open(Json container) {
    if (!count()) return false;
    if (frames_.size() >= kMaxNesting) {
      tooDeepLine_ = position_.lastTokenLine;
      return false;
    }
    Frame frame{nullptr, nextPointer(), "", nullptr, nullptr};
    if (container.is_array()) {
      frame.elementLines = &places_.elementLines[frame.pointer];
      frame.elementOffsets = &places_.elementOffsets[frame.pointer];
    }
    frame.value = slot(position_.containerStart);
    *frame.value = std::move(container);
    frames_.push_back(std::move(frame));
    return true;
  }

  bool close() {
    frames_.pop_back();
    return true;
  }

  Json& root_;
  Places places_;
  const ReadPosition& position_;
  std::vector<Frame> frames_;
  Json* member_ = nullptr;
  std::size_t values_ = 0;
  std::size_t errorByte_ = 0;
  std::string errorMessage_;
  std::string duplicateKey_;
  std::size_t duplicateOffset_ = 0;
  std::size_t duplicateFirstOffset_ = 0;
  std::map<std::string, std::size_t> keyOffsets_;
  int tooDeepLine_ = 0;
  int tooManyLine_ = 0;
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
  return parse(path, readTextFile(path, TextFileKind::kProduct));
}

JsonDocument JsonDocument::parse(const std::string& path, const std::string& text) {
  JsonDocument document;
  document.source_ = SourceText(path, text);
  ReadPosition position;
  const Places places{document.lines_, document.elementLines_, document.offsets_,
                      document.elementOffsets_};
  LineRecorder recorder(document.root_, places, position);
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
  if (recorder.tooManyLine() > 0) {
    throw ToolError(Diagnostic::error(source.placeOfLine(recorder.tooManyLine()),
                                      "the file holds more than " + std::to_string(kMaxValues) +
                                          " JSON values, the most a product file may hold"),
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
  if (it != lines_.end()) return it->second;
  std::size_t slash = pointer.rfind('/');
  if (slash == std::string::npos) return 0;
  auto array = elementLines_.find(pointer.substr(0, slash));
  const std::string index = pointer.substr(slash + 1);
  if (array == elementLines_.end() || index.empty() ||
      index.find_first_not_of("0123456789") != std::string::npos) {
    return 0;
  }
  std::size_t at = 0;
  for (char digit : index) {
    at = at * 10 + static_cast<std::size_t>(digit - '0');
    if (at >= array->second.size()) return 0;
  }
  return array->second[at];
}

std::string JsonDocument::where(const std::string& pointer) const {
  int at = line(pointer);
  return at > 0 ? path() + ":" + std::to_string(at) : path();
}

bool JsonDocument::valueOffset(const std::string& pointer, std::size_t& offset) const {
  auto it = offsets_.find(pointer);
  if (it != offsets_.end()) {
    offset = it->second;
    return true;
  }
  std::size_t slash = pointer.rfind('/');
  if (slash == std::string::npos) return false;
  auto array = elementOffsets_.find(pointer.substr(0, slash));
  const std::string index = pointer.substr(slash + 1);
  if (array == elementOffsets_.end() || index.empty() ||
      index.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  std::size_t at = 0;
  for (char digit : index) {
    at = at * 10 + static_cast<std::size_t>(digit - '0');
    if (at >= array->second.size()) return false;
  }
  offset = array->second[at];
  return true;
}

SourcePlace JsonDocument::place(const std::string& pointer) const {
  std::size_t offset = 0;
  if (!valueOffset(pointer, offset)) {
    const int at = line(pointer);
    return at > 0 ? source_.placeOfLine(at) : SourcePlace::fileOnly(path());
  }
  const std::vector<std::size_t> bytes = stringBytes(offset);
  return bytes.empty() ? source_.place(offset) : source_.place(offset, bytes.back() + 1);
}

SourcePlace JsonDocument::placeInString(const std::string& pointer, std::size_t begin,
                                        std::size_t end) const {
  std::size_t offset = 0;
  if (!valueOffset(pointer, offset)) return place(pointer);
  const std::vector<std::size_t> bytes = stringBytes(offset);
  if (bytes.empty()) return place(pointer);
  const auto at = [&](std::size_t i) { return bytes[std::min(i, bytes.size() - 1)]; };
  return source_.place(at(begin), end > begin ? at(end) : 0);
}

// Walks the JSON string at `quote` as the reader decoded it: each escape stands for the bytes it
// decodes to (\\uXXXX for one to three UTF-8 bytes, a surrogate pair for four).
std::vector<std::size_t> JsonDocument::stringBytes(std::size_t quote) const {
  const std::string& text = source_.text();
  std::vector<std::size_t> bytes;
  if (quote >= text.size() || text[quote] != '"') return bytes;
  const auto hexValue = [&](std::size_t at, unsigned long& value) {
    if (at + 4 > text.size()) return false;
    value = 0;
    for (std::size_t i = at; i < at + 4; ++i) {
      const unsigned char c = static_cast<unsigned char>(text[i]);
      if (!std::isxdigit(c)) return false;
      value = value * 16 + static_cast<unsigned long>(
                               std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10);
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
