// Variants of a product for a sweep. A Variant is a numbered set of Choices, each the values a
// host gives one option at one node (NODEPATH:module:option, as `tam eval --set` names it). A
// VariantSource hands variants out one at a time, so that a sweep over millions of them holds only
// the ones in flight: the CSV and JSON Lines readers here read their file row by row, and the
// generators (VariantGenerators.h) compute each variant when it is asked for.
//
// A row that cannot be read becomes a variant carrying the problem (with the file and line), which
// the sweep records as failed without stopping. A file that cannot be opened, and a CSV header
// that does not name NODEPATH:module:option columns, are ToolErrors (kExitUsage).
#ifndef TAM_TOOL_VARIANTS_H
#define TAM_TOOL_VARIANTS_H

#include <cstdint>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

struct Choice {
  std::string key;  // NODEPATH:module:option, as the column or key is written
  std::string nodePath;
  std::string moduleId;
  std::string optionName;
  // JSON booleans, numbers and strings; a string is read by the option's type, as --set reads
  // its text. Several values for an option that takes several at once.
  std::vector<nlohmann::json> values;
  bool several = false;  // given as a list, even of one value
};

struct Variant {
  std::int64_t index = 0;  // position in the sweep, from 0
  std::string source;      // "file:line" of the row; empty for generated variants
  std::vector<Choice> choices;
  std::string problem;  // why the row could not be read; empty when it could
};

// Splits NODEPATH:module:option into the choice's parts; false when one of them is missing.
bool parseChoiceKey(const std::string& key, Choice& choice);

// The form in which variants travel between processes: one JSON object, written on one line.
nlohmann::json variantToJson(const Variant& variant);
// Reads that form back; a malformed one becomes a variant carrying the problem.
Variant variantFromJson(const nlohmann::json& json);

class VariantSource {
 public:
  VariantSource() = default;
  VariantSource(const VariantSource&) = delete;
  VariantSource& operator=(const VariantSource&) = delete;
  virtual ~VariantSource();

  // The next variant, numbered in order from 0; false when there are no more.
  virtual bool next(Variant& variant) = 0;
  // How many variants there will be in all, or -1 when that is not known beforehand.
  virtual std::int64_t size() const { return -1; }
  // The choices every variant may make (a CSV file's columns), to be checked against the product
  // before the sweep starts; empty when variants name their choices one by one.
  virtual std::vector<Choice> columns() const { return {}; }
  // Where the columns are named ("file:line" of the header row).
  virtual std::string columnsSource() const { return ""; }
};

enum class VariantFormat { kAuto, kCsv, kJsonLines };

// Opens a file of variants: CSV (a header row of NODEPATH:module:option columns, then one variant
// a row; an empty cell gives no value) or JSON Lines (one object a line mapping NODEPATH:
// module:option to a value, a list of values, or null for none). kAuto tells them apart by the
// name: ".csv" is CSV, ".jsonl", ".ndjson" and ".json" are JSON Lines. "-" reads standard input.
std::unique_ptr<VariantSource> openVariantFile(const std::string& path, VariantFormat format);

#endif  // TAM_TOOL_VARIANTS_H
