// Diagnostics in JSON documents: one object per diagnostic, with its notes, the same fields for
// every command (docs/schema/ describes them):
//   { "severity": "error", "message": "...", "code": null or "VE_...",
//     "file": "modules/a.rix" or null, "line": 3 or null, "column": 7 or null,
//     "end_column": 12 or null, "source_line": "..." or null, "notes": [ ... ] }
#ifndef TAM_TOOL_DIAGNOSTICJSON_H
#define TAM_TOOL_DIAGNOSTICJSON_H

#include <cstddef>
#include <vector>

#include "Diagnostics.h"
#include "ValueText.h"

OutputJson diagnosticJson(const Diagnostic& diagnostic);

// A report's diagnostics as a JSON list, with the error limit applied as the text output applies
// it: once the limit is reached, the rest are counted but not listed.
struct DiagnosticList {
  OutputJson items = OutputJson::array();
  std::size_t errors = 0;
  std::size_t warnings = 0;
  std::size_t notShown = 0;
};
DiagnosticList diagnosticList(const std::vector<Diagnostic>& diagnostics);

// {"name": name, "version": version}, the member every document of tam begins with.
OutputJson formatJson(const char* name, int version);

#endif  // TAM_TOOL_DIAGNOSTICJSON_H
