// A JsonWriter receives one JSON value as a sequence of calls (begin an object, a key, a value,
// ..., end), so that a document is defined once and either built as an OutputJson (JsonBuilder)
// or written straight out as text (JsonTextWriter) without an object per item. The caller keeps
// the calls well formed: a key before each member of an object, no key in a list, every begin
// closed by its end; the writers do not check.
//   JsonBuilder built;
//   built.beginObject(); built.key("path"); built.string(path); built.end();
//   OutputJson item = built.take();
#ifndef TAM_TOOL_JSONWRITER_H
#define TAM_TOOL_JSONWRITER_H

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

// The JSON documents tam prints keep their members in the order they were entered.
using OutputJson = nlohmann::ordered_json;

// True when dump() writes the text between quotes as it stands: ASCII without quotes,
// backslashes or control characters. Other texts are left to dump(), which escapes them and
// replaces invalid UTF-8.
bool plainJsonText(std::string_view text);

class JsonWriter {
 public:
  virtual ~JsonWriter() = default;

  virtual void beginObject() = 0;
  virtual void beginArray() = 0;
  // Closes the innermost open object or list.
  virtual void end() = 0;
  // The name of the next member of the open object.
  virtual void key(std::string_view name) = 0;
  // A whole value of any kind, written as it stands.
  virtual void value(const OutputJson& value) = 0;
  virtual void string(std::string_view text) = 0;
  virtual void integer(std::int64_t number) = 0;
  virtual void boolean(bool flag) = 0;
  virtual void null() = 0;

  // A string, or null when `text` is null.
  void stringOrNull(const char* text);
};

// Builds the value as an OutputJson, member by member in the order written.
class JsonBuilder : public JsonWriter {
 public:
  JsonBuilder() = default;
  JsonBuilder(const JsonBuilder&) = delete;
  JsonBuilder& operator=(const JsonBuilder&) = delete;

  void beginObject() override;
  void beginArray() override;
  void end() override;
  void key(std::string_view name) override;
  void value(const OutputJson& value) override;
  void string(std::string_view text) override;
  void integer(std::int64_t number) override;
  void boolean(bool flag) override;
  void null() override;

  // The value built; the builder is empty afterwards.
  OutputJson take();

 private:
  // Places a value in the open object or list (or as the whole value) and returns it there.
  OutputJson& place(OutputJson value);

  OutputJson root_;
  std::vector<OutputJson*> open_;  // the open objects and lists, innermost last
  std::string key_;
};

// Writes the value as OutputJson::dump(2) lays it out (two spaces per level, invalid UTF-8
// replaced), as if it stood `depth` levels deep in a larger document: its inner lines carry that
// much more indentation. Text is gathered in a buffer of bounded size and handed to the stream
// when the buffer fills and when the writer is flushed or destroyed.
class JsonTextWriter : public JsonWriter {
 public:
  JsonTextWriter(std::ostream& out, int depth);
  ~JsonTextWriter() override;
  JsonTextWriter(const JsonTextWriter&) = delete;
  JsonTextWriter& operator=(const JsonTextWriter&) = delete;

  void beginObject() override;
  void beginArray() override;
  void end() override;
  void key(std::string_view name) override;
  void value(const OutputJson& value) override;
  void string(std::string_view text) override;
  void integer(std::int64_t number) override;
  void boolean(bool flag) override;
  void null() override;

  // Text outside any value (separators of an enclosing document), written as it stands.
  void raw(std::string_view text);
  // Hands the buffered text to the stream.
  void flush();

 private:
  struct Level {
    bool object;
    bool empty;
  };

  // What precedes a value: nothing after a key or at the top, the separator and indentation of
  // the next item in a list.
  void beforeValue();
  // The separator of the next item of the innermost level (when an item came before it), a line
  // break and the indentation of that level.
  void nextItem();
  void newLine(std::size_t depth);
  // A string between quotes, escaped as dump() escapes it.
  void quoted(std::string_view text);
  void append(std::string_view text);
  // Room for `size` more bytes in the buffer (flushing it first when they do not fit), for a
  // piece no larger than the buffer: where they go. The caller then moves used_ past what it
  // wrote.
  char* room(std::size_t size) {
    if (size > kBufferSize - used_) flush();
    return buffer_.get() + used_;
  }
  static constexpr std::size_t kBufferSize = 64 * 1024;  // text gathered before the stream has it

  std::ostream& out_;
  std::size_t depth_;
  std::vector<Level> levels_;
  bool afterKey_ = false;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
};

#endif  // TAM_TOOL_JSONWRITER_H
