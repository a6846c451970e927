#include "ProductEditor.h"

#include "Diagnostics.h"
#include "JsonDocument.h"

namespace {

using Json = nlohmann::json;

// One step of indentation where the editor opens a new level ("values": [ ... ]).
const char* const kIndentStep = "  ";
const char* const kDefaultHow = "host";

std::string jsonText(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// [V, W].
std::string valuesList(const std::vector<Json>& values) {
  std::string text = "[";
  for (std::size_t i = 0; i < values.size(); ++i) text += (i > 0 ? ", " : "") + jsonText(values[i]);
  return text + "]";
}

// `"value": V` for one value, `"values": [V, W]` for several.
std::string valuesMember(const std::vector<Json>& values) {
  if (values.size() == 1) return "\"value\": " + jsonText(values.front());
  return "\"values\": " + valuesList(values);
}

std::string entryText(const std::string& option, const std::vector<Json>& values,
                      const std::string& how) {
  std::string text = "{ \"option\": " + jsonText(option) + ", " + valuesMember(values);
  if (how != kDefaultHow) text += ", \"how\": " + jsonText(how);
  return text + " }";
}

}  // namespace

std::string ProductEditor::spanText(const JsonSpan& span) const {
  return text_.substr(span.begin, span.end - span.begin);
}

std::string ProductEditor::indentOf(std::size_t offset, bool& firstOnLine) const {
  std::size_t lineStart = text_.rfind('\n', offset == 0 ? 0 : offset - 1);
  lineStart = lineStart == std::string::npos ? 0 : lineStart + 1;
  std::size_t blanks = lineStart;
  while (blanks < offset && (text_[blanks] == ' ' || text_[blanks] == '\t')) ++blanks;
  firstOnLine = blanks == offset;
  return text_.substr(lineStart, blanks - lineStart);
}

void ProductEditor::replace(std::size_t begin, std::size_t end, const std::string& with) {
  text_.replace(begin, end - begin, with);
}

void ProductEditor::fail(const std::string& pointer, const std::string& problem) const {
  throw ToolError("tam: error: cannot write host values at " + pointer + ": " + problem,
                  kExitReported);
}

std::vector<std::string> ProductEditor::entriesOf(const JsonSpans& spans,
                                                  const std::string& nodePointer,
                                                  const std::string& option) const {
  const JsonSpan* node = spans.find(nodePointer);
  if (node == nullptr || text_[node->begin] != '{') fail(nodePointer, "no node object there");
  std::vector<std::string> entries;
  const JsonSpan* list = spans.find(JsonDocument::member(nodePointer, "values"));
  if (list == nullptr) return entries;
  for (const std::string& entry : list->children) {
    const JsonSpan* name = spans.find(JsonDocument::member(entry, "option"));
    if (name == nullptr) fail(entry, "a host value without \"option\"");
    Json parsed = Json::parse(spanText(*name), nullptr, false);
    if (parsed.is_string() && parsed.get<std::string>() == option) entries.push_back(entry);
  }
  return entries;
}

void ProductEditor::setEntries(const std::string& nodePointer, const std::string& option,
                               const std::vector<Entry>& entries) {
  for (const Entry& entry : entries) {
    if (entry.values.empty()) fail(nodePointer, "a host value needs at least one value");
  }
  std::string listPointer = JsonDocument::member(nodePointer, "values");
  std::vector<std::string> existing = entriesOf(JsonSpans(text_), nodePointer, option);
  // Entries left over go first, from the last, so that the pointers of earlier ones stay valid.
  for (std::size_t i = existing.size(); i > entries.size(); --i) {
    removeChild(listPointer, existing[i - 1]);
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i < existing.size()) {
      rewriteEntry(existing[i], entries[i]);
    } else {
      addEntry(nodePointer, option, entries[i]);
    }
  }
  if (!entries.empty() || existing.empty()) return;
  JsonSpans spans(text_);
  const JsonSpan* list = spans.find(listPointer);
  if (list != nullptr && list->children.empty()) removeChild(nodePointer, listPointer);
}

void ProductEditor::rewriteEntry(const std::string& entry, const Entry& to) {
  const std::vector<Json>& values = to.values;
  const std::string& how = to.how;
  // The value first, then "how": each step scans the text it changed.
  {
    JsonSpans spans(text_);
    const JsonSpan* one = spans.find(JsonDocument::member(entry, "value"));
    const JsonSpan* many = spans.find(JsonDocument::member(entry, "values"));
    if (many != nullptr) {
      // The list form stays, also for one value.
      replace(many->begin, many->end, valuesList(values));
    } else if (one != nullptr && values.size() == 1) {
      replace(one->begin, one->end, jsonText(values.front()));
    } else if (one != nullptr) {
      replace(one->keyBegin, one->end, valuesMember(values));
    } else {
      fail(entry, "a host value without \"value\" or \"values\"");
    }
  }
  JsonSpans spans(text_);
  const JsonSpan* howSpan = spans.find(JsonDocument::member(entry, "how"));
  if (howSpan != nullptr) {
    replace(howSpan->begin, howSpan->end, jsonText(how));
  } else if (how != kDefaultHow) {
    const JsonSpan* value = spans.find(JsonDocument::member(entry, "value"));
    if (value == nullptr) value = spans.find(JsonDocument::member(entry, "values"));
    replace(value->end, value->end, ", \"how\": " + jsonText(how));
  }
}

void ProductEditor::addEntry(const std::string& nodePointer, const std::string& option,
                             const Entry& given) {
  std::string entry = entryText(option, given.values, given.how);
  JsonSpans spans(text_);
  const JsonSpan* list = spans.find(JsonDocument::member(nodePointer, "values"));
  if (list != nullptr && !list->children.empty()) {
    // After the last entry, separated as the entries before it are (or as the first entry is
    // from the opening bracket).
    const JsonSpan* last = spans.find(list->children.back());
    std::size_t from =
        list->children.size() > 1 ? spans.find(list->children.end()[-2])->end : list->begin;
    std::string between = text_.substr(from, last->begin - from);
    std::string blanks = between.substr(between.find_last_of(",[") + 1);
    if (blanks.empty()) blanks = " ";
    replace(last->end, last->end, "," + blanks + entry);
    return;
  }
  if (list != nullptr) {
    replace(list->begin, list->end, "[ " + entry + " ]");
    return;
  }
  const JsonSpan* module = spans.find(JsonDocument::member(nodePointer, "module"));
  if (module == nullptr) fail(nodePointer, "host values need a node with a module");
  bool firstOnLine = false;
  std::string indent = indentOf(module->keyBegin, firstOnLine);
  std::string member = firstOnLine ? ",\n" + indent + "\"values\": [\n" + indent + kIndentStep +
                                         entry + "\n" + indent + "]"
                                   : ", \"values\": [ " + entry + " ]";
  replace(module->end, module->end, member);
}

void ProductEditor::removeChild(const std::string& parent, const std::string& pointer) {
  JsonSpans spans(text_);
  const JsonSpan* container = spans.find(parent);
  if (container == nullptr) fail(parent, "nothing there");
  const std::vector<std::string>& children = container->children;
  std::size_t index = 0;
  while (index < children.size() && children[index] != pointer) ++index;
  if (index == children.size()) fail(pointer, "nothing there");
  const JsonSpan* child = spans.find(pointer);
  std::size_t start = child->keyBegin == JsonSpan::kNoKey ? child->begin : child->keyBegin;
  if (children.size() == 1) {
    // The container's only child: leave the brackets.
    replace(container->begin + 1, container->end - 1, "");
  } else if (index > 0) {
    // From the end of the one before: its comma and what stood before this one go with it.
    replace(spans.find(children[index - 1])->end, child->end, "");
  } else {
    const JsonSpan* next = spans.find(children[1]);
    std::size_t nextStart = next->keyBegin == JsonSpan::kNoKey ? next->begin : next->keyBegin;
    replace(start, nextStart, "");
  }
}
