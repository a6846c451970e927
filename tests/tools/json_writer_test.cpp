// A value written call by call must come out as the same document whichever writer takes it: the
// builder must give the value itself (members in order), the text writer exactly what dump(2)
// prints for it, also when it stands deep inside a larger document.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "JsonWriter.h"

namespace {

// Writes a value to `out` call by call, choosing the call for each kind, as the documents of tam
// are written.
void replay(const OutputJson& value, JsonWriter& out) {
  if (value.is_object()) {
    out.beginObject();
    for (const auto& member : value.items()) {
      out.key(member.key());
      replay(member.value(), out);
    }
    out.end();
  } else if (value.is_array()) {
    out.beginArray();
    for (const OutputJson& item : value) replay(item, out);
    out.end();
  } else if (value.is_string()) {
    out.string(value.get_ref<const std::string&>());
  } else if (value.is_number_integer()) {
    out.integer(value.get<std::int64_t>());
  } else if (value.is_boolean()) {
    out.boolean(value.get<bool>());
  } else if (value.is_null()) {
    out.null();
  } else {
    out.value(value);
  }
}

std::string dumped(const OutputJson& value) {
  return value.dump(2, ' ', false, OutputJson::error_handler_t::replace);
}

// Values of every kind and shape, and strings that need escaping or replacing.
std::vector<OutputJson> samples() {
  std::vector<OutputJson> values = {
      OutputJson::parse(R"({"a": 1, "b": [true, false, null], "c": {"d": -42, "e": 2.5}})"),
      OutputJson::parse(R"({"empty list": [], "empty object": {}, "nested": [[], {}, [[1]]]})"),
      OutputJson::parse(R"([{"z": 1, "a": 2, "m": 3}, "text", 0, 1e-7, 3900.0])"),
      OutputJson::parse(R"({"options": [{"option": "m:a", "values": [{"how": null}]}]})"),
      OutputJson::array(),
      OutputJson::object(),
      OutputJson("plain"),
      OutputJson(nullptr),
      OutputJson(-9223372036854775807LL - 1),
  };
  const std::vector<std::string> texts = {
      "", "quote \" and backslash \\", "lines\nand\ttabs\r\b\f", std::string("nul \0 inside", 12),
      "\x01\x1f\x7f", "caf\xc3\xa9 \xe2\x82\xac", "broken \xff\xfe utf-8", "cut \xc3",
  };
  OutputJson strings = OutputJson::object();
  for (const std::string& text : texts) {
    values.emplace_back(text);
    strings[text] = text;  // as a key too
  }
  values.push_back(strings);
  return values;
}

TEST(JsonWriterTest, BuilderAndTextWriterGiveTheSameDocumentAsDump) {
  for (const OutputJson& value : samples()) {
    const std::string expected = dumped(value);
    SCOPED_TRACE(expected);
    JsonBuilder built;
    replay(value, built);
    const OutputJson copy = built.take();
    EXPECT_EQ(copy, value);
    EXPECT_EQ(dumped(copy), expected);  // the same members in the same order
    std::ostringstream text;
    {
      JsonTextWriter writer(text, 0);
      replay(value, writer);
    }
    EXPECT_EQ(text.str(), expected);
    // A whole value handed over at once is laid out the same way.
    std::ostringstream whole;
    {
      JsonTextWriter writer(whole, 0);
      writer.value(value);
    }
    EXPECT_EQ(whole.str(), expected);
  }
}

// Items written call by call, whole, or both, inside a larger document: the document must be
// dump(2)'s text of the whole.
TEST(JsonWriterTest, ItemsSitAtTheirDepth) {
  const std::vector<OutputJson> items = samples();
  OutputJson document = OutputJson::object();
  document["format"] = OutputJson::parse(R"({"name": "test", "version": 1})");
  document["items"] = items;
  document["none"] = OutputJson::array();
  document["after"] = "end";
  const std::string expected = dumped(document);
  for (int mode = 0; mode < 3; ++mode) {
    SCOPED_TRACE(mode);
    std::ostringstream text;
    {
      JsonTextWriter out(text, 0);
      out.beginObject();
      out.key("format");
      out.value(document["format"]);
      out.key("items");
      out.beginArray();
      for (std::size_t i = 0; i < items.size(); ++i) {
        const bool byCalls = mode == 0 || (mode == 2 && i % 2 == 0);
        if (byCalls) {
          replay(items[i], out);
        } else {
          out.value(items[i]);
        }
      }
      out.end();
      out.key("none");
      out.beginArray();
      out.end();
      out.key("after");
      out.value("end");
      out.end();
    }
    EXPECT_EQ(text.str(), expected);
  }
}

// The text reaches the stream in pieces of bounded size, and all of it by the end.
TEST(JsonWriterTest, LongListsReachTheStreamWhole) {
  OutputJson list = OutputJson::array();
  for (int i = 0; i < 20000; ++i) {
    list.push_back({{"index", i}, {"name", "item " + std::to_string(i)}, {"flag", i % 3 == 0}});
  }
  // At depth 1 the list reads as it does as the member of an object.
  const std::string whole = dumped(OutputJson{{"list", list}});
  const std::size_t open = whole.find('[');
  const std::string expected = whole.substr(open, whole.rfind(']') + 1 - open);
  std::ostringstream text;
  JsonTextWriter writer(text, 1);
  replay(list, writer);
  EXPECT_GT(text.str().size(), 0u);                // some went out on the way
  EXPECT_LT(text.str().size(), expected.size());   // the rest is still held
  EXPECT_EQ(expected.compare(0, text.str().size(), text.str()), 0);
  writer.flush();
  EXPECT_EQ(text.str(), expected);
}

}  // namespace
