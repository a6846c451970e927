// JsonSpans tells where each value of a JSON text stands, by JSON pointer ("/root/values/0"): the
// byte range of the value and, for an object member, where its key starts; for an object or an
// array also the pointers of its members or elements in text order. It is what lets a command
// change a few values of a file a person wrote and keep every other byte as it was.
//
// The text is expected to be valid JSON already (a JsonDocument was read from it); a text that is
// not, or that nests deeper than JsonDocument accepts, is refused with a ToolError naming the byte
// where scanning stopped.
#ifndef TAM_TOOL_JSONSPANS_H
#define TAM_TOOL_JSONSPANS_H

#include <map>
#include <string>
#include <vector>

struct JsonSpan {
  static constexpr std::size_t kNoKey = static_cast<std::size_t>(-1);

  std::size_t keyBegin = kNoKey;      // the opening quote of the member's key; kNoKey otherwise
  std::size_t begin = 0;              // the value's first byte
  std::size_t end = 0;                // one past the value's last byte
  std::vector<std::string> children;  // members or elements, in text order
};

class JsonSpans {
 public:
  // Containers may nest this deep, as deep as JsonDocument reads.
  static constexpr int kMaxNesting = 256;

  explicit JsonSpans(const std::string& text);

  // The span of the value at this pointer, or null when there is none.
  const JsonSpan* find(const std::string& pointer) const;

 private:
  void parseValue(const std::string& pointer, int depth);
  void parseObject(const std::string& pointer, int depth);
  void parseArray(const std::string& pointer, int depth);
  std::string parseString();
  void parseScalar();
  void skipBlanks();
  void expect(char c);
  [[noreturn]] void fail(const char* what) const;

  const std::string& text_;
  std::size_t at_ = 0;
  std::map<std::string, JsonSpan> spans_;
};

#endif  // TAM_TOOL_JSONSPANS_H
