// Reads the parts of a Markdown guide that tests check, so that the guide cannot drift from the
// code. Three HTML comments, invisible in the rendered page, mark them:
//
//   <!-- example NAME -->   the fenced blocks that follow, up to the next marker or heading, form
//                           one runnable example: `rix` blocks are module files, a `json` block
//                           is the product file, and `console` blocks hold `$ tam ...` commands,
//                           each followed by the output it must print.
//   <!-- excerpt PATH -->   the next fenced block is an excerpt of the file PATH (relative to the
//                           repository): its lines stand in the file in this order, contiguous
//                           except where a line "// ..." (or "# ...") leaves lines out.
//   <!-- output PROGRAM --> the next fenced block is exactly what PROGRAM prints.
#ifndef TAM_TESTS_DOCS_MARKDOWNEXAMPLES_H
#define TAM_TESTS_DOCS_MARKDOWNEXAMPLES_H

#include <string>
#include <vector>

struct CodeBlock {
  std::string language;  // the first word after the opening fence; may be empty
  std::string text;      // the lines between the fences, each ending in a line feed
  int line = 0;          // line of the opening fence, counting from 1
};

struct DocExample {
  std::string name;
  int line = 0;  // line of the marker
  std::vector<CodeBlock> blocks;
};

// A block another file or a program's output must match; `source` is the marker's argument.
struct DocReference {
  std::string source;
  CodeBlock block;
};

struct MarkdownGuide {
  std::vector<DocExample> examples;
  std::vector<DocReference> excerpts;
  std::vector<DocReference> outputs;
  std::vector<CodeBlock> otherBlocks;  // blocks no marker claims
  std::vector<std::string> problems;   // markers without their block, unclosed fences
};

MarkdownGuide readMarkdownGuide(const std::string& text);

// One command of a console block and what it must print (standard output and standard error
// together) and exit with. A line "[exit status N]" at the end of the output gives a status other
// than 0.
struct ConsoleCommand {
  std::string arguments;  // the text after "$ tam "
  std::string output;
  int exitStatus = 0;
};

// Splits a console block; every command must start with "$ tam ". Adds a problem for anything else.
std::vector<ConsoleCommand> readConsoleBlock(const std::string& text,
                                             std::vector<std::string>& problems);

// True when the excerpt's lines stand in `file` as described for excerpt markers above.
bool isExcerptOf(const std::string& excerpt, const std::string& file);

#endif  // TAM_TESTS_DOCS_MARKDOWNEXAMPLES_H
