#include "JsonStream.h"

// The stream gets the text at the end of each member and list, so that nothing written to it
// elsewhere meanwhile could come out of order.
JsonStream::JsonStream(std::ostream& out) : writer_(out, 0) {
  writer_.beginObject();
  writer_.flush();
}

void JsonStream::member(const std::string& key, const OutputJson& value) {
  writer_.key(key);
  writer_.value(value);
  writer_.flush();
}

void JsonStream::beginList(const std::string& key) {
  writer_.key(key);
  writer_.beginArray();
}

void JsonStream::item(const OutputJson& value) { writer_.value(value); }

JsonWriter& JsonStream::nextItem() { return writer_; }

void JsonStream::endList() {
  writer_.end();
  writer_.flush();
}

void JsonStream::end() {
  writer_.end();
  writer_.raw("\n");
  writer_.flush();
}
