// A JsonStream writes one JSON object to a stream member by member, laid out exactly as
// OutputJson::dump(2) lays out the whole object (two spaces per level, invalid UTF-8 replaced),
// so that a long list is written item by item: no document holds the whole output and no
// string holds all of its text. Members come in the order they are written.
//   JsonStream out(std::cout);
//   out.member("file", path);
//   out.beginList("nodes"); out.item(node); ...; out.endList();
//   out.end();  // the closing brace and a line break
#ifndef TAM_TOOL_JSONSTREAM_H
#define TAM_TOOL_JSONSTREAM_H

#include <ostream>
#include <string>

#include "ValueText.h"

class JsonStream {
 public:
  explicit JsonStream(std::ostream& out);
  JsonStream(const JsonStream&) = delete;
  JsonStream& operator=(const JsonStream&) = delete;

  void member(const std::string& key, const OutputJson& value);
  void beginList(const std::string& key);
  void item(const OutputJson& value);
  // An item written by the caller, laid out for its place: its inner lines already indented
  // for a list member (three levels for its members).
  void itemText(const std::string& text);
  // A scalar's text as dump() writes it (strings quoted and escaped, invalid UTF-8 replaced).
  static std::string scalar(const OutputJson& value);
  void endList();
  void end();

 private:
  // The value's text at the given depth: its inner lines indented two spaces per level.
  void write(const OutputJson& value, int depth);
  void key(const std::string& key);

  std::ostream& out_;
  bool firstMember_ = true;
  bool firstItem_ = true;
};

#endif  // TAM_TOOL_JSONSTREAM_H
