// Diagnostics in JSON documents: one object per diagnostic, with its notes, the same fields for
// every command (docs/schema/ describes them):
//   { "severity": "error", "message": "...", "code": null or "VE_...",
//     "file": "modules/a.rix" or null, "line": 3 or null, "column": 7 or null,
//     "end_column": 12 or null, "source_line": "..." or null, "notes": [ ... ] }
#ifndef TAM_TOOL_DIAGNOSTICJSON_H
#define TAM_TOOL_DIAGNOSTICJSON_H

#include <cstddef>
#include <functional>
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

// {"format": ..., "diagnostics": [...], "summary": summary}: the document of a command that reports
// diagnostics, the summary made by the command.
OutputJson reportJson(const char* name, int version, const DiagnosticList& list,
                      const OutputJson& summary);

// {"format": ..., "error": diagnostic}: the document of a command that could not run.
OutputJson failureJson(const char* name, int version, const Diagnostic& error);

// Prints a document on standard output as tam prints them all: two spaces per level, invalid
// UTF-8 replaced, a newline after it.
void printDocument(const OutputJson& document);

// Runs `report`, which prints a command's document and returns its exit status. When it raises a
// ToolError instead, the document `failure` makes of the error is printed and the error's status
// returned: a command asked for JSON prints one document whatever happens.
using FailureDocument = OutputJson (*)(const Diagnostic& error);
int reportAsDocument(const std::function<int()>& report, FailureDocument failure);

#endif  // TAM_TOOL_DIAGNOSTICJSON_H
