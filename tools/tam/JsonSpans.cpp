#include "JsonSpans.h"

#include <nlohmann/json.hpp>

#include "Diagnostics.h"
#include "JsonDocument.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// A number, true, false or null runs until the next delimiter.
bool endsScalar(char c) { return isBlank(c) || c == ',' || c == ']' || c == '}' || c == ':'; }

}  // namespace

JsonSpans::JsonSpans(const std::string& text) : text_(text) {
  skipBlanks();
  parseValue("", 0);
  skipBlanks();
  if (at_ != text_.size()) fail("text after the value");
}

const JsonSpan* JsonSpans::find(const std::string& pointer) const {
  auto it = spans_.find(pointer);
  return it == spans_.end() ? nullptr : &it->second;
}

void JsonSpans::parseValue(const std::string& pointer, int depth) {
  if (at_ >= text_.size()) fail("a value");
  spans_[pointer].begin = at_;
  switch (text_[at_]) {
    case '{':
      parseObject(pointer, depth + 1);
      break;
    case '[':
      parseArray(pointer, depth + 1);
      break;
    case '"':
      parseString();
      break;
    default:
      parseScalar();
      break;
  }
  spans_[pointer].end = at_;
}

void JsonSpans::parseObject(const std::string& pointer, int depth) {
  if (depth > kMaxNesting) fail("values nested less deep");
  expect('{');
  skipBlanks();
  if (at_ < text_.size() && text_[at_] == '}') {
    ++at_;
    return;
  }
  for (;;) {
    skipBlanks();
    std::size_t keyBegin = at_;
    std::string member = JsonDocument::member(pointer, parseString());
    skipBlanks();
    expect(':');
    skipBlanks();
    spans_[pointer].children.push_back(member);
    parseValue(member, depth);
    spans_[member].keyBegin = keyBegin;
    skipBlanks();
    if (at_ < text_.size() && text_[at_] == ',') {
      ++at_;
      continue;
    }
    expect('}');
    return;
  }
}

void JsonSpans::parseArray(const std::string& pointer, int depth) {
  if (depth > kMaxNesting) fail("values nested less deep");
  expect('[');
  skipBlanks();
  if (at_ < text_.size() && text_[at_] == ']') {
    ++at_;
    return;
  }
  for (std::size_t index = 0;; ++index) {
    skipBlanks();
    std::string element = JsonDocument::element(pointer, index);
    spans_[pointer].children.push_back(element);
    parseValue(element, depth);
    skipBlanks();
    if (at_ < text_.size() && text_[at_] == ',') {
      ++at_;
      continue;
    }
    expect(']');
    return;
  }
}

std::string JsonSpans::parseString() {
  std::size_t begin = at_;
  expect('"');
  while (at_ < text_.size() && text_[at_] != '"') {
    if (text_[at_] == '\\') ++at_;
    ++at_;
  }
  expect('"');
  // Keys may hold escapes; the JSON reader decodes them as JsonDocument did.
  nlohmann::json decoded = nlohmann::json::parse(text_.substr(begin, at_ - begin), nullptr, false);
  if (!decoded.is_string()) fail("a string");
  return decoded.get<std::string>();
}

void JsonSpans::parseScalar() {
  std::size_t begin = at_;
  while (at_ < text_.size() && !endsScalar(text_[at_])) ++at_;
  if (at_ == begin) fail("a value");
}

void JsonSpans::skipBlanks() {
  while (at_ < text_.size() && isBlank(text_[at_])) ++at_;
}

void JsonSpans::expect(char c) {
  if (at_ >= text_.size() || text_[at_] != c) fail(std::string(1, c).c_str());
  ++at_;
}

void JsonSpans::fail(const char* what) const {
  throw ToolError("tam: error: cannot place the JSON values of the text: expected " +
                      std::string(what) + " at byte " + std::to_string(at_),
                  kExitReported);
}
