// A JsonDocument is a parsed JSON file that remembers the line of every value, so that a problem
// found in the product file can name its line. Lines are recorded by JSON pointer
// ("/root/children/0 /module"): for an object member the line of its key, for an array element the
// line where it starts. The byte offset where each value starts is kept too, so that a problem can
// be shown at its place with the source line, also inside a string value (a load-if, say), escapes
// and all. A syntax error, a duplicate key or an unreadable file is a ToolError (kExitUsage) that
// names the file and the line.
#ifndef TAM_TOOL_JSONDOCUMENT_H
#define TAM_TOOL_JSONDOCUMENT_H

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "SourceText.h"

class JsonDocument {
 public:
  using Json = nlohmann::json;

  // The most values (objects, arrays, strings, numbers, booleans and nulls, counted at every
  // level) a document may hold. Even the largest products hold far fewer; the limit keeps a huge
  // list from costing memory for every element before the shape of the file is judged.
  static constexpr std::size_t kMaxValues = 1000000;

  static JsonDocument read(const std::string& path);
  static JsonDocument parse(const std::string& path, const std::string& text);

  const std::string& path() const { return source_.path(); }
  const std::string& text() const { return source_.text(); }
  const SourceText& source() const { return source_; }
  const Json& root() const { return root_; }

  // The line of the value at this pointer; 0 when unknown.
  int line(const std::string& pointer) const;
  // "path:line" for the value at this pointer, or the path alone when the line is unknown.
  std::string where(const std::string& pointer) const;
  // The place of the value at this pointer (a string underlined to its closing quote).
  SourcePlace place(const std::string& pointer) const;
  // The place of bytes begin to end of the string value at this pointer, counted in the decoded
  // string, mapped back to the file.
  SourcePlace placeInString(const std::string& pointer, std::size_t begin, std::size_t end) const;

  // The pointer of a member or an element below `pointer`.
  static std::string member(const std::string& pointer, const std::string& key);
  static std::string element(const std::string& pointer, std::size_t index);

 private:
  // Where the value at this pointer begins; false when the document has no such value.
  bool valueOffset(const std::string& pointer, std::size_t& offset) const;
  // The file offset of each byte of the string value whose opening quote is at `quote`, then the
  // offset of its closing quote; empty when no string starts there.
  std::vector<std::size_t> stringBytes(std::size_t quote) const;

  SourceText source_;
  Json root_;
  std::map<std::string, int> lines_;                       // the root and object members
  std::map<std::string, std::vector<int>> elementLines_;  // array pointer: each element's line
  std::map<std::string, std::size_t> offsets_;             // where those values begin
  std::map<std::string, std::vector<std::size_t>> elementOffsets_;
};

#endif  // TAM_TOOL_JSONDOCUMENT_H
