// A JsonDocument is a parsed JSON file that remembers the line of every value, so that a problem
// found in the product file can name its line. Lines are recorded by JSON pointer
// ("/root/children/0 /module"): for an object member the line of its key, for an array element the
// line where it starts. A syntax error, a duplicate key or an unreadable file is a ToolError
// (kExitUsage) that names the file and the line.
#ifndef TAM_TOOL_JSONDOCUMENT_H
#define TAM_TOOL_JSONDOCUMENT_H

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

class JsonDocument {
 public:
  using Json = nlohmann::json;

  // The most values (objects, arrays, strings, numbers, booleans and nulls, counted at every
  // level) a document may hold. Even the largest products hold far fewer; the limit keeps a huge
  // list from costing memory for every element before the shape of the file is judged.
  static constexpr std::size_t kMaxValues = 1000000;

  static JsonDocument read(const std::string& path);
  static JsonDocument parse(const std::string& path, const std::string& text);

  const std::string& path() const { return path_; }
  const std::string& text() const { return text_; }
  const Json& root() const { return root_; }

  // The line of the value at this pointer; 0 when unknown.
  int line(const std::string& pointer) const;
  // "path:line" for the value at this pointer, or the path alone when the line is unknown.
  std::string where(const std::string& pointer) const;

  // The pointer of a member or an element below `pointer`.
  static std::string member(const std::string& pointer, const std::string& key);
  static std::string element(const std::string& pointer, std::size_t index);

 private:
  std::string path_;
  std::string text_;
  Json root_;
  std::map<std::string, int> lines_;                       // the root and object members
  std::map<std::string, std::vector<int>> elementLines_;  // array pointer: each element's line
};

#endif  // TAM_TOOL_JSONDOCUMENT_H
