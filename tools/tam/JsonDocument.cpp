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

// Builds the document from the reader's events and records the line of every value: the line of
// the key for an object member, kept by the member's pointer, and the line of each array element,
// kept in one list of lines per array, so that a long list of scalars costs a few bytes per value.
class LineRecorder : public nlohmann::json_sax<Json> {
 public:
  LineRecorder(Json& root, std::map<std::string, int>& lines,
               std::map<std::string, std::vector<int>>& elementLines, const ReadPosition& position)
      : root_(root), lines_(lines), elementLines_(elementLines), position_(position) {}

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
    if (top.value->contains(key)) {
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
    return !errorMessage_.empty() || !duplicateKey_.empty() || tooDeepLine_ > 0 || tooManyLine_ > 0;
  }
  int tooDeepLine() const { return tooDeepLine_; }
  int tooManyLine() const { return tooManyLine_; }
  std::size_t errorByte() const { return errorByte_; }
  const std::string& errorMessage() const { return errorMessage_; }
  const std::string& duplicateKey() const { return duplicateKey_; }
  int duplicateLine() const { return duplicateLine_; }
  int duplicateFirstLine() const { return duplicateFirstLine_; }

 private:
  struct Frame {
    Json* value;
    std::string pointer;
    std::string key;                           // the member being read, in an object
    std::vector<int>* elementLines = nullptr;  // the lines of the elements, in an array
  };

  // Counts one more value; false once there are more than the document may hold.
  bool count() {
    if (++values_ <= JsonDocument::kMaxValues) return true;
    tooManyLine_ = position_.lastTokenLine;
    return false;
  }

  // The slot the next value goes into, with its line recorded.
  Json* slot() {
    if (frames_.empty()) {
      lines_[""] = position_.lastTokenLine;
      return &root_;
    }
    Frame& top = frames_.back();
    if (top.value->is_array()) {
      top.elementLines->push_back(position_.lastTokenLine);
      top.value->push_back(nullptr);
      return &top.value->back();
    }
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
  bool add(Value&& value) {
    if (!count()) return false;
    *slot() = Json(std::forward<Value>(value));
    return true;
  }

  bool open(Json container) {
    if (!count()) return false;
    if (frames_.size() >= kMaxNesting) {
      tooDeepLine_ = position_.lastTokenLine;
      return false;
    }
    Frame frame{nullptr, nextPointer(), "", nullptr};
    if (container.is_array()) frame.elementLines = &elementLines_[frame.pointer];
    frame.value = slot();
    *frame.value = std::move(container);
    frames_.push_back(std::move(frame));
    return true;
  }

  bool close() {
    frames_.pop_back();
    return true;
  }

  Json& root_;
  std::map<std::string, int>& lines_;
  std::map<std::string, std::vector<int>>& elementLines_;
  const ReadPosition& position_;
  std::vector<Frame> frames_;
  Json* member_ = nullptr;
  std::size_t values_ = 0;
  std::size_t errorByte_ = 0;
  std::string errorMessage_;
  std::string duplicateKey_;
  int duplicateLine_ = 0;
  int duplicateFirstLine_ = 0;
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
  document.path_ = path;
  document.text_ = text;
  ReadPosition position;
  LineRecorder recorder(document.root_, document.lines_, document.elementLines_, position);
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
  if (recorder.tooManyLine() > 0) {
    throw ToolError(path + ":" + std::to_string(recorder.tooManyLine()) +
                        ": error: the file holds more than " + std::to_string(kMaxValues) +
                        " JSON values, the most a product file may hold",
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
