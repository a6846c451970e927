#include "Variants.h"

#include <iostream>
#include <set>

#include "Diagnostics.h"

namespace {

using Json = nlohmann::json;
// JSON Lines objects are read with their keys in the order written, so that choices keep it.
using OrderedJson = nlohmann::ordered_json;

// A row longer than this is refused rather than read into memory whole: no file of choices needs
// it, and a file without line breaks must not exhaust memory.
constexpr std::size_t kMaxRowBytes = 1 << 20;
// Choices are a value or a flat list of values; anything nested deeper is refused while it is read.
constexpr std::size_t kMaxChoiceDepth = 2;

const char kUtf8Bom[] = "\xEF\xBB\xBF";

template <class AnyJson>
bool isScalar(const AnyJson& value) {
  return value.is_boolean() || value.is_number() || value.is_string();
}

// A scalar read in key order, as a choice holds it.
Json scalarOf(const OrderedJson& value) {
  if (value.is_boolean()) return value.get<bool>();
  if (value.is_number_unsigned()) return value.get<std::uint64_t>();
  if (value.is_number_integer()) return value.get<std::int64_t>();
  if (value.is_number()) return value.get<double>();
  return value.get<std::string>();
}

bool endsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The input of a reader: a file it opened, or standard input.
class Input {
 public:
  explicit Input(const std::string& path) : path_(path) {
    if (path == "-") return;
    file_.open(path, std::ios::binary);
    if (!file_) throw ToolError(path + ": error: cannot open the variants file", kExitUsage);
  }
  std::istream& stream() { return path_ == "-" ? std::cin : file_; }
  // How messages name the input.
  std::string name() const { return path_ == "-" ? "<stdin>" : path_; }

 private:
  std::string path_;
  std::ifstream file_;
};

// A CSV reader: fields separated by commas, optionally in double quotes, with "" for a quote and
// line breaks allowed inside quotes; lines end with LF or CR LF.
class CsvReader {
 public:
  explicit CsvReader(std::istream& in) : in_(in) {}

  // Reads the next row that is not blank into `cells`; false at the end of the input. A row that
  // cannot be read gives true with the reason in `problem` (the reader goes on at the next line).
  bool readRow(std::vector<std::string>& cells, int& line, std::string& problem) {
    for (;;) {
      cells.clear();
      problem.clear();
      if (in_.peek() == std::char_traits<char>::eof()) return false;
      line = line_;
      readCells(cells, problem);
      if (!problem.empty() || cells.size() > 1 || !cells[0].empty()) return true;
    }
  }

 private:
  int get() {
    int c = in_.get();
    if (c == '\n') ++line_;
    return c;
  }

  // Reads up to the end of the row.
  void readCells(std::vector<std::string>& cells, std::string& problem) {
    std::string cell;
    std::size_t bytes = 0;
    bool quoted = false;
    bool closed = false;  // after the closing quote of a quoted cell
    for (;;) {
      int c = get();
      if (++bytes > kMaxRowBytes) {
        problem = "the row is longer than " + std::to_string(kMaxRowBytes) + " bytes";
        skipLine(c);
        return;
      }
      if (c == std::char_traits<char>::eof()) {
        if (quoted && !closed) problem = "a quoted cell is not closed";
        cells.push_back(cell);
        return;
      }
      if (quoted && !closed) {
        if (c != '"') {
          cell += static_cast<char>(c);
        } else if (in_.peek() == '"') {
          cell += static_cast<char>(get());
        } else {
          closed = true;
        }
        continue;
      }
      if (c == ',' || c == '\n' || (c == '\r' && in_.peek() == '\n')) {
        cells.push_back(cell);
        cell.clear();
        quoted = closed = false;
        if (c == '\r') get();
        if (c != ',') return;
        continue;
      }
      if (closed) {
        problem = "text after the closing quote of a cell";
        skipLine(c);
        return;
      }
      if (c == '"' && cell.empty()) {
        quoted = true;
        continue;
      }
      cell += static_cast<char>(c);
    }
  }

  void skipLine(int c) {
    while (c != '\n' && c != std::char_traits<char>::eof()) c = get();
  }

  std::istream& in_;
  int line_ = 1;
};

class CsvVariants : public VariantSource {
 public:
  explicit CsvVariants(const std::string& path) : input_(path), reader_(input_.stream()) {
    std::vector<std::string> header;
    int line = 0;
    std::string problem;
    if (!reader_.readRow(header, line, problem)) {
      throw ToolError(input_.name() + ": error: the file has no header row", kExitUsage);
    }
    if (!problem.empty()) {
      throw ToolError(where(line) + ": error: header row: " + problem, kExitUsage);
    }
    headerLine_ = line;
    // Spreadsheets may start the file with a byte order mark.
    if (header[0].compare(0, 3, kUtf8Bom) == 0) header[0].erase(0, 3);
    for (std::size_t i = 0; i < header.size(); ++i) {
      Choice column;
      if (!parseChoiceKey(header[i], column)) {
        throw ToolError(where(line) + ": error: column " + std::to_string(i + 1) + " '" +
                            header[i] + "': expected NODEPATH:module:option",
                        kExitUsage);
      }
      columns_.push_back(column);
    }
  }

  bool next(Variant& variant) override {
    std::vector<std::string> cells;
    int line = 0;
    std::string problem;
    if (!reader_.readRow(cells, line, problem)) return false;
    variant = Variant();
    variant.index = index_++;
    variant.source = where(line);
    if (problem.empty() && cells.size() != columns_.size()) {
      problem = "the row has " + std::to_string(cells.size()) + " cells, the header " +
                std::to_string(columns_.size());
    }
    if (!problem.empty()) {
      variant.problem = variant.source + ": " + problem;
      return true;
    }
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (cells[i].empty()) continue;
      Choice choice = columns_[i];
      choice.values.push_back(cells[i]);
      variant.choices.push_back(choice);
    }
    return true;
  }

  std::vector<Choice> columns() const override { return columns_; }
  std::string columnsSource() const override { return where(headerLine_); }

 private:
  std::string where(int line) const { return input_.name() + ":" + std::to_string(line); }

  Input input_;
  CsvReader reader_;
  std::vector<Choice> columns_;
  int headerLine_ = 0;
  std::int64_t index_ = 0;
};

// Raised by the JSON reader's callback to stop reading a line that is not a flat object.
struct ChoiceShapeError {
  std::string message;
};

class JsonLinesVariants : public VariantSource {
 public:
  explicit JsonLinesVariants(const std::string& path) : input_(path) {}

  bool next(Variant& variant) override {
    std::string text;
    for (;;) {
      if (!readLine(text)) return false;
      if (text.find_first_not_of(" \t\r") != std::string::npos || tooLong_) break;
    }
    variant = Variant();
    variant.index = index_++;
    variant.source = input_.name() + ":" + std::to_string(line_);
    std::string problem = tooLong_
                              ? "the line is longer than " + std::to_string(kMaxRowBytes) + " bytes"
                              : readChoices(text, variant);
    if (!problem.empty()) {
      variant.choices.clear();
      variant.problem = variant.source + ": " + problem;
    }
    return true;
  }

 private:
  // Reads one line (without its line feed) of at most kMaxRowBytes; the rest of a longer line is
  // skipped and marks it too long.
  bool readLine(std::string& text) {
    std::istream& in = input_.stream();
    text.clear();
    tooLong_ = false;
    if (in.peek() == std::char_traits<char>::eof()) return false;
    ++line_;
    for (int c = in.get(); c != '\n' && c != std::char_traits<char>::eof(); c = in.get()) {
      if (text.size() < kMaxRowBytes) {
        text += static_cast<char>(c);
      } else {
        tooLong_ = true;
      }
    }
    if (line_ == 1 && text.compare(0, 3, kUtf8Bom) == 0) text.erase(0, 3);
    return true;
  }

  static std::string readChoices(const std::string& text, Variant& variant) {
    std::set<std::string> keys;
    OrderedJson object;
    try {
      object = OrderedJson::parse(
          text, [&keys](int depth, OrderedJson::parse_event_t event, OrderedJson& parsed) {
            if (depth > static_cast<int>(kMaxChoiceDepth)) {
              throw ChoiceShapeError{"a choice must be a value or a list of values"};
            }
            if (event == OrderedJson::parse_event_t::key && depth == 1 &&
                !keys.insert(parsed.get<std::string>()).second) {
              throw ChoiceShapeError{"duplicate key \"" + parsed.get<std::string>() + "\""};
            }
            return true;
          });
    } catch (const ChoiceShapeError& e) {
      return e.message;
    } catch (const OrderedJson::parse_error& e) {
      std::string what = e.what();
      std::size_t colon = what.find(": ");
      return "invalid JSON at column " + std::to_string(e.byte) + ": " +
             (colon == std::string::npos ? what : what.substr(colon + 2));
    }
    if (!object.is_object()) return "expected one JSON object of NODEPATH:module:option keys";
    for (const auto& item : object.items()) {
      Choice choice;
      if (!parseChoiceKey(item.key(), choice)) {
        return "key \"" + item.key() + "\": expected NODEPATH:module:option";
      }
      const OrderedJson& value = item.value();
      if (value.is_null()) continue;
      if (isScalar(value)) {
        choice.values.push_back(scalarOf(value));
      } else if (value.is_array() && !value.empty()) {
        for (const OrderedJson& element : value) {
          if (!isScalar(element)) return "key \"" + item.key() + "\": values must be scalars";
          choice.values.push_back(scalarOf(element));
        }
        choice.several = true;
      } else {
        return "key \"" + item.key() + "\": expected a value, a non-empty list of values or null";
      }
      variant.choices.push_back(choice);
    }
    return "";
  }

  Input input_;
  int line_ = 0;
  bool tooLong_ = false;
  std::int64_t index_ = 0;
};

}  // namespace

VariantSource::~VariantSource() = default;

bool parseChoiceKey(const std::string& key, Choice& choice) {
  std::size_t first = key.find(':');
  if (first == std::string::npos || first == 0) return false;
  std::size_t second = key.find(':', first + 1);
  if (second == std::string::npos || second == first + 1 || second + 1 == key.size()) return false;
  choice.key = key;
  choice.nodePath = key.substr(0, first);
  choice.moduleId = key.substr(first + 1, second - first - 1);
  choice.optionName = key.substr(second + 1);
  return true;
}

nlohmann::json variantToJson(const Variant& variant) {
  Json choices = Json::array();
  for (const Choice& choice : variant.choices) {
    choices.push_back(Json::array({choice.key, choice.values, choice.several}));
  }
  return Json{{"index", variant.index},
              {"source", variant.source},
              {"choices", choices},
              {"problem", variant.problem}};
}

Variant variantFromJson(const nlohmann::json& json) {
  Variant variant;
  try {
    variant.index = json.at("index").get<std::int64_t>();
    variant.source = json.at("source").get<std::string>();
    variant.problem = json.at("problem").get<std::string>();
    for (const Json& item : json.at("choices")) {
      Choice choice;
      if (!parseChoiceKey(item.at(0).get<std::string>(), choice)) {
        throw std::invalid_argument("bad choice key");
      }
      choice.values = item.at(1).get<std::vector<Json>>();
      choice.several = item.at(2).get<bool>();
      variant.choices.push_back(choice);
    }
  } catch (const std::exception& e) {
    variant.choices.clear();
    variant.problem = std::string("malformed variant: ") + e.what();
  }
  return variant;
}

std::unique_ptr<VariantSource> openVariantFile(const std::string& path, VariantFormat format) {
  if (format == VariantFormat::kAuto) {
    if (endsWith(path, ".csv")) {
      format = VariantFormat::kCsv;
    } else if (endsWith(path, ".jsonl") || endsWith(path, ".ndjson") || endsWith(path, ".json")) {
      format = VariantFormat::kJsonLines;
    } else {
      throw ToolError("tam: error: " + path +
                          ": cannot tell the format of the variants from the name: use .csv or "
                          ".jsonl, or --format",
                      kExitUsage);
    }
  }
  if (format == VariantFormat::kCsv) return std::make_unique<CsvVariants>(path);
  return std::make_unique<JsonLinesVariants>(path);
}
