// A JsonStream writes one JSON object to a stream member by member, laid out exactly as
// OutputJson::dump(2) lays out the whole object (two spaces per level, invalid UTF-8 replaced),
// so that a long list is written item by item: no document holds the whole output and no
// string holds all of its text. Members come in the order they are written. An item may be
// written as a whole value or through the writer nextItem() returns, call by call, so that it is
// never built as an object either.
//   JsonStream out(std::cout);
//   out.member("file", path);
//   out.beginList("nodes"); out.item(node); writeNode(out.nextItem(), ...); ...; out.endList();
//   out.end();  // the closing brace and a line break
#ifndef TAM_TOOL_JSONSTREAM_H
#define TAM_TOOL_JSONSTREAM_H

#include <ostream>
#include <string>

#include "JsonWriter.h"
#include "ValueText.h"

class JsonStream {
 public:
  explicit JsonStream(std::ostream& out);
  JsonStream(const JsonStream&) = delete;
  JsonStream& operator=(const JsonStream&) = delete;

  void member(const std::string& key, const OutputJson& value);
  void beginList(const std::string& key);
  void item(const OutputJson& value);
  // The writer for the next item of the open list: the caller writes exactly one value to it.
  JsonWriter& nextItem();
  void endList();
  void end();

 private:
  JsonTextWriter writer_;
};

#endif  // TAM_TOOL_JSONSTREAM_H
