#include "JsonWriter.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <utility>

namespace {

constexpr std::size_t kIndent = 2;  // spaces per level, as dump(2)
constexpr int kInt64Digits = 21;    // sign and the 19 digits of an int64 and more

std::string dumped(const OutputJson& value) {
  return value.dump(static_cast<int>(kIndent), ' ', false, OutputJson::error_handler_t::replace);
}

// The bytes dump() does not write as they stand inside quotes: control characters, quotes,
// backslashes, and every byte outside ASCII (which it checks as UTF-8).
struct BytesToEscape {
  static constexpr int kByteValues = 256;
  unsigned char of[kByteValues] = {};
  constexpr BytesToEscape() {
    for (int byte = 0; byte < kByteValues; ++byte) {
      of[byte] = byte < 0x20 || byte >= 0x80 || byte == '"' || byte == '\\';
    }
  }
};
constexpr BytesToEscape kEscaped;

}  // namespace

bool plainJsonText(std::string_view text) {
  unsigned char found = 0;  // looked up for every byte, without a branch per byte
  for (char c : text) found |= kEscaped.of[static_cast<unsigned char>(c)];
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
    : out_(out), depth_(static_cast<std::size_t>(depth)), buffer_(new char[kBufferSize]) {}

JsonTextWriter::~JsonTextWriter() { flush(); }

void JsonTextWriter::flush() {
  if (used_ == 0) return;
  out_.write(buffer_.get(), static_cast<std::streamsize>(used_));
  used_ = 0;
}

void JsonTextWriter::append(std::string_view text) {
  if (text.size() > kBufferSize) {  // a piece larger than the buffer goes out as it is
    flush();
    out_.write(text.data(), static_cast<std::streamsize>(text.size()));
    return;
  }
  std::memcpy(room(text.size()), text.data(), text.size());
  used_ += text.size();
}

void JsonTextWriter::raw(std::string_view text) { append(text); }

void JsonTextWriter::newLine(std::size_t depth) {
  std::size_t spaces = depth * kIndent;
  std::size_t piece = std::min(spaces, kBufferSize - 1);
  char* at = room(piece + 1);
  *at = '\n';
  std::memset(at + 1, ' ', piece);
  used_ += piece + 1;
  for (spaces -= piece; spaces > 0; spaces -= piece) {  // deeper than the buffer is wide
    piece = std::min(spaces, kBufferSize);
    std::memset(room(piece), ' ', piece);
    used_ += piece;
  }
}

void JsonTextWriter::nextItem() {
  Level& level = levels_.back();
  if (!level.empty) {
    *room(1) = ',';
    ++used_;
  }
  level.empty = false;
  newLine(depth_ + levels_.size());
}

void JsonTextWriter::beforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!levels_.empty()) nextItem();
}

void JsonTextWriter::key(std::string_view name) {
  nextItem();
  quoted(name);
  char* at = room(2);
  at[0] = ':';
  at[1] = ' ';
  used_ += 2;
  afterKey_ = true;
}

void JsonTextWriter::beginObject() {
  beforeValue();
  append("{");
  levels_.push_back({true, true});
}

void JsonTextWriter::beginArray() {
  beforeValue();
  append("[");
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
  const std::size_t depth = depth_ + levels_.size();
  std::size_t from = 0;
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', from)) {
    append(std::string_view(text).substr(from, at - from));
    newLine(depth);
    from = at + 1;
  }
  append(std::string_view(text).substr(from));
}

// Plain text is copied between quotes while it is checked; text that needs escaping is then
// written again, as dump() writes it.
void JsonTextWriter::quoted(std::string_view text) {
  const std::size_t size = text.size();
  if (size + 2 <= kBufferSize) {
    char* at = room(size + 2);
    unsigned char found = 0;
    at[0] = '"';
    for (std::size_t i = 0; i < size; ++i) {
      found |= kEscaped.of[static_cast<unsigned char>(text[i])];
      at[i + 1] = text[i];
    }
    at[size + 1] = '"';
    if (found == 0) {
      used_ += size + 2;
      return;
    }
  }
  append(dumped(OutputJson(std::string(text))));
}

void JsonTextWriter::string(std::string_view text) {
  beforeValue();
  quoted(text);
}

void JsonTextWriter::integer(std::int64_t number) {
  beforeValue();
  char* at = room(kInt64Digits);
  const std::to_chars_result result = std::to_chars(at, at + kInt64Digits, number);
  used_ += static_cast<std::size_t>(result.ptr - at);
}

void JsonTextWriter::boolean(bool flag) {
  beforeValue();
  append(flag ? "true" : "false");
}

void JsonTextWriter::null() {
  beforeValue();
  append("null");
}
