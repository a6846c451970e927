#include "DiagnosticJson.h"

#include <iostream>

namespace {

OutputJson orNull(bool present, const OutputJson& value) { return present ? value : OutputJson(); }

}  // namespace

OutputJson diagnosticJson(const Diagnostic& diagnostic) {
  const SourcePlace& place = diagnostic.place;
  OutputJson item = OutputJson::object();
  item["severity"] = severityName(diagnostic.severity);
  item["message"] = diagnostic.message;
  item["code"] = orNull(!diagnostic.code.empty(), diagnostic.code);
  item["file"] = orNull(!place.file.empty(), place.file);
  item["line"] = orNull(place.line > 0, place.line);
  item["column"] = orNull(place.line > 0 && place.column > 0, place.column);
  item["end_column"] =
      orNull(place.line > 0 && place.column > 0, place.column + std::max(place.length, 1));
  item["source_line"] = orNull(place.line > 0, place.sourceLine);
  OutputJson notes = OutputJson::array();
  for (const Diagnostic& note : diagnostic.notes) notes.push_back(diagnosticJson(note));
  item["notes"] = notes;
  return item;
}

DiagnosticList diagnosticList(const std::vector<Diagnostic>& diagnostics) {
  const std::size_t limit = diagnosticOptions().errorLimit;
  DiagnosticList list;
  for (const Diagnostic& diagnostic : diagnostics) {
    const bool limitReached = limit > 0 && list.errors >= limit;
    ++(diagnostic.severity == Severity::kError ? list.errors : list.warnings);
    if (limitReached) {
      ++list.notShown;
    } else {
      list.items.push_back(diagnosticJson(diagnostic));
    }
  }
  return list;
}

OutputJson formatJson(const char* name, int version) {
  OutputJson format = OutputJson::object();
  format["name"] = name;
  format["version"] = version;
  return format;
}

OutputJson reportJson(const char* name, int version, const DiagnosticList& list,
                      const OutputJson& summary) {
  OutputJson document = OutputJson::object();
  document["format"] = formatJson(name, version);
  document["diagnostics"] = list.items;
  document["summary"] = summary;
  return document;
}

OutputJson failureJson(const char* name, int version, const Diagnostic& error) {
  OutputJson document = OutputJson::object();
  document["format"] = formatJson(name, version);
  document["error"] = diagnosticJson(error);
  return document;
}

void printDocument(const OutputJson& document) {
  std::cout << document.dump(2, ' ', false, OutputJson::error_handler_t::replace) << "\n";
}

int reportAsDocument(const std::function<int()>& report, FailureDocument failure) {
  try {
    return report();
  } catch (const ToolError& e) {
    printDocument(failure(e.diagnostics().empty() ? Diagnostic::general(e.what())
                                                  : e.diagnostics().front()));
    return e.status();
  }
}
