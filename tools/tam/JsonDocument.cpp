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
};

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
  LineRecorder(Json& root, std::map<std::string, int>& lines, const ReadPosition& position)
      : root_(root), lines_(lines), position_(position) {}

  bool null() override { return add(nullptr); }
  bool boolean(bool value) override { return add(value); }
  bool number_integer(number_integer_t value) override { return add(value); }
  bool number_unsigned(number_unsigned_t value) override { return add(value); }
  bool number_float(number_float_t value, const string_t&) override { return add(value); }
  bool string(string_t& value) override { return add(value); }
  bool binary(binary_t& value) override { return add(Json::binary(value)); }

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
      duplicateLine_ = position_.lastTokenLine;
      duplicateFirstLine_ = lines_[pointer];
      return false;
    }
    lines_.emplace(pointer, position_.lastTokenLine);
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
  int duplicateLine() const { return duplicateLine_; }
  int duplicateFirstLine() const { return duplicateFirstLine_; }

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
  bool add(Value&& value) {
    std::string pointer;
    Json* target = slot(pointer);
    *target = Json(std::forward<Value>(value));
    lines_.emplace(pointer, position_.lastTokenLine);
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
    frames_.push_back(Frame{target, pointer, 0, "", {}});
    return true;
  }

  bool close() {
    frames_.pop_back();
    return true;
  }

  Json& root_;
  std::map<std::string, int>& lines_;
  const ReadPosition& position_;
  std::vector<Frame> frames_;
  Json* member_ = nullptr;
  std::size_t errorByte_ = 0;
  std::string errorMessage_;
  std::string duplicateKey_;
  int duplicateLine_ = 0;
  int duplicateFirstLine_ = 0;
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
  if (!readTextFile(path, text, problem)) throw ToolError(path + ": error: " + problem, kExitUsage);
  return parse(path, text);
}

JsonDocument JsonDocument::parse(const std::string& path, const std::string& text) {
  JsonDocument document;
  document.path_ = path;
  document.text_ = text;
  ReadPosition position;
  LineRecorder recorder(document.root_, document.lines_, position);
  const char* begin = document.text_.data();
  const char* end = begin + document.text_.size();
  Json::sax_parse(CountingIterator(begin, &position), CountingIterator(end, &position), &recorder);
  if (!recorder.duplicateKey().empty()) {
    throw ToolError(path + ":" + std::to_string(recorder.duplicateLine()) +
                        ": error: duplicate key \"" + recorder.duplicateKey() +
                        "\" (first on line " + std::to_string(recorder.duplicateFirstLine()) + ")",
                    kExitUsage);
  }
  if (recorder.tooDeepLine() > 0) {
    throw ToolError(path + ":" + std::to_string(recorder.tooDeepLine()) +
                        ": error: JSON values are nested more than " + std::to_string(kMaxNesting) +
                        " deep",
                    kExitUsage);
  }
  if (recorder.failed()) {
    std::size_t byte = recorder.errorByte();
    std::size_t offset = byte > 0 ? byte - 1 : 0;
    int line = 0;
    int column = 0;
    lineAndColumn(document.text_, std::min(offset, document.text_.size()), line, column);
    throw ToolError(path + ":" + std::to_string(line) + ":" + std::to_string(column) +
                        ": error: invalid JSON: " + plainMessage(recorder.errorMessage()),
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
  return at > 0 ? path_ + ":" + std::to_string(at) : path_;
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
