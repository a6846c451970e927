#include "JsonWriter.h"

#include <charconv>
#include <utility>

namespace {

constexpr std::size_t kIndent = 2;               // spaces per level, as dump(2)
constexpr std::size_t kBufferLimit = 64 * 1024;  // text gathered before it goes to the stream
constexpr int kInt64Digits = 21;                 // sign and the 19 digits of an int64 and more

std::string dumped(const OutputJson& value) {
  return value.dump(static_cast<int>(kIndent), ' ', false, OutputJson::error_handler_t::replace);
}

// The bytes dump() does not write as they stand inside quotes: control characters, quotes,
// backslashes, and every byte outside ASCII (which it checks as UTF-8).
struct BytesToEscape {
  static constexpr int kByteValues = 256;
  unsigned char of[kByteValues] = {};
  BytesToEscape() {
    for (int byte = 0; byte < kByteValues; ++byte) {
      of[byte] = byte < 0x20 || byte >= 0x80 || byte == '"' || byte == '\\';
    }
  }
};

// A line break and the indentation of the deepest levels written from one piece; deeper levels
// add spaces.
constexpr std::size_t kIndentedLevels = 16;
const std::string& lineBreaks() {
  static const std::string text = "\n" + std::string(kIndentedLevels * kIndent, ' ');
  return text;
}

}  // namespace

bool plainJsonText(std::string_view text) {
  static const BytesToEscape escaped;
  unsigned char found = 0;  // looked up for every byte, without a branch per byte
  for (char c : text) found |= escaped.of[static_cast<unsigned char>(c)];
  return found == 0;
}

void JsonWriter::stringOrNull(const char* text) {
  if (text == nullptr) {
    null();
  } else {
    string(text);
  }
}

// JsonBuilder

OutputJson& JsonBuilder::place(OutputJson value) {
  if (open_.empty()) {
    root_ = std::move(value);
    return root_;
  }
  OutputJson& container = *open_.back();
  if (container.is_object()) return container[key_] = std::move(value);
  container.push_back(std::move(value));
  return container.back();
}

void JsonBuilder::beginObject() { open_.push_back(&place(OutputJson::object())); }

void JsonBuilder::beginArray() { open_.push_back(&place(OutputJson::array())); }

void JsonBuilder::end() { open_.pop_back(); }

void JsonBuilder::key(std::string_view name) { key_.assign(name.data(), name.size()); }

void JsonBuilder::value(const OutputJson& value) { place(value); }

void JsonBuilder::string(std::string_view text) { place(std::string(text)); }

void JsonBuilder::integer(std::int64_t number) { place(number); }

void JsonBuilder::boolean(bool flag) { place(flag); }

void JsonBuilder::null() { place(nullptr); }

OutputJson JsonBuilder::take() {
  open_.clear();
  return std::exchange(root_, OutputJson());
}

// JsonTextWriter

JsonTextWriter::JsonTextWriter(std::ostream& out, int depth)
    : out_(out), depth_(static_cast<std::size_t>(depth)) {}

JsonTextWriter::~JsonTextWriter() { flush(); }

void JsonTextWriter::flush() {
  if (buffer_.empty()) return;
  out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
  buffer_.clear();
}

void JsonTextWriter::append(std::string_view text) {
  buffer_.append(text.data(), text.size());
  if (buffer_.size() >= kBufferLimit) flush();
}

void JsonTextWriter::raw(std::string_view text) { append(text); }

void JsonTextWriter::newLine(std::size_t depth) {
  const std::size_t spaces = depth * kIndent;
  const std::string& breaks = lineBreaks();
  if (spaces < breaks.size()) {
    buffer_.append(breaks, 0, spaces + 1);
  } else {
    buffer_ += breaks;
    buffer_.append(spaces + 1 - breaks.size(), ' ');
  }
}

void JsonTextWriter::beforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (levels_.empty()) return;
  Level& list = levels_.back();
  if (!list.empty) buffer_ += ',';
  list.empty = false;
  newLine(depth_ + levels_.size());
}

void JsonTextWriter::key(std::string_view name) {
  Level& object = levels_.back();
  if (!object.empty) buffer_ += ',';
  object.empty = false;
  newLine(depth_ + levels_.size());
  quoted(name);
  append(": ");
  afterKey_ = true;
}

void JsonTextWriter::beginObject() {
  beforeValue();
  buffer_ += '{';
  levels_.push_back({true, true});
}

void JsonTextWriter::beginArray() {
  beforeValue();
  buffer_ += '[';
  levels_.push_back({false, true});
}

void JsonTextWriter::end() {
  const Level closed = levels_.back();
  levels_.pop_back();
  if (!closed.empty) newLine(depth_ + levels_.size());
  append(closed.object ? "}" : "]");
}

void JsonTextWriter::value(const OutputJson& value) {
  beforeValue();
  // dump() lays the value out from column zero: its inner lines move to this depth.
  const std::string text = dumped(value);
  const std::string indent((depth_ + levels_.size()) * kIndent, ' ');
  std::size_t from = 0;
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', from)) {
    buffer_.append(text, from, at + 1 - from);
    buffer_ += indent;
    from = at + 1;
  }
  append(std::string_view(text).substr(from));
}

void JsonTextWriter::quoted(std::string_view text) {
  if (!plainJsonText(text)) {
    append(dumped(OutputJson(std::string(text))));
    return;
  }
  buffer_ += '"';
  buffer_.append(text.data(), text.size());
  buffer_ += '"';
  if (buffer_.size() >= kBufferLimit) flush();
}

void JsonTextWriter::string(std::string_view text) {
  beforeValue();
  quoted(text);
}

void JsonTextWriter::integer(std::int64_t number) {
  beforeValue();
  char digits[kInt64Digits];
  const std::to_chars_result result = std::to_chars(digits, digits + sizeof digits, number);
  append(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
}

void JsonTextWriter::boolean(bool flag) {
  beforeValue();
  append(flag ? "true" : "false");
}

void JsonTextWriter::null() {
  beforeValue();
  append("null");
}
