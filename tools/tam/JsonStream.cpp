#include "JsonStream.h"

namespace {

constexpr int kIndent = 2;  // spaces per level, as dump(2)

std::string dumped(const OutputJson& value) {
  return value.dump(kIndent, ' ', false, OutputJson::error_handler_t::replace);
}

}  // namespace

JsonStream::JsonStream(std::ostream& out) : out_(out) { out_ << "{"; }

void JsonStream::write(const OutputJson& value, int depth) {
  const std::string text = dumped(value);
  const std::string indent(static_cast<std::size_t>(depth * kIndent), ' ');
  std::size_t from = 0;
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', from)) {
    out_.write(text.data() + from, static_cast<std::streamsize>(at + 1 - from));
    out_ << indent;
    from = at + 1;
  }
  out_.write(text.data() + from, static_cast<std::streamsize>(text.size() - from));
}

void JsonStream::key(const std::string& key) {
  out_ << (firstMember_ ? "\n" : ",\n") << std::string(kIndent, ' ') << dumped(OutputJson(key))
       << ": ";
  firstMember_ = false;
}

void JsonStream::member(const std::string& key, const OutputJson& value) {
  this->key(key);
  write(value, 1);
}

void JsonStream::beginList(const std::string& key) {
  this->key(key);
  out_ << "[";
  firstItem_ = true;
}

void JsonStream::item(const OutputJson& value) {
  out_ << (firstItem_ ? "\n" : ",\n") << std::string(2 * kIndent, ' ');
  firstItem_ = false;
  write(value, 2);
}

void JsonStream::itemText(const std::string& text) {
  out_ << (firstItem_ ? "\n" : ",\n") << std::string(2 * kIndent, ' ') << text;
  firstItem_ = false;
}

std::string JsonStream::scalar(const OutputJson& value) { return dumped(value); }

void JsonStream::endList() {
  if (!firstItem_) out_ << "\n" << std::string(kIndent, ' ');
  out_ << "]";
}

void JsonStream::end() { out_ << (firstMember_ ? "}\n" : "\n}\n"); }
