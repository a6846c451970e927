// The guides cannot drift from the code. Every example of the RIX guide is written out as module
// files and a product file and run through the built tam, which must print exactly what the guide
// shows; every code excerpt in the guides and the README must stand in the file it is taken from;
// the host guide's output is what the host example prints; and the limits the RIX guide states
// are the library's. MarkdownExamples.h describes the markers.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>

#include "MarkdownExamples.h"
#include "rix/TamRuleParser.h"
#include "tam/TamNode.h"
#include "tam/TamOption.h"
#include "tam/TamWindow.h"

namespace fs = std::filesystem;

namespace {

const char kSourceDir[] = TAM_SOURCE_DIR;
const char kTam[] = TAM_TOOL;
const char kHostExample[] = TAM_HOST_EXAMPLE;
const char kWorkDir[] = TAM_DOC_WORK_DIR;
const char kRixGuide[] = "docs/rix.md";
const char kHostGuide[] = "docs/host-guide.md";
// The documents whose excerpts and outputs are checked; examples in them run too.
const char* const kCheckedDocuments[] = {"docs/rix.md", "docs/host-guide.md",
                                         "docs/product-format.md", "README.md",
                                         "examples/ebike/README.md"};

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

struct RunResult {
  std::string output;
  int exitStatus = -1;
};

// Runs a shell command line in `dir`, standard error joined to standard output.
RunResult run(const fs::path& dir, const std::string& commandLine) {
  const std::string shell = "cd " + quoted(dir.string()) + " && " + commandLine + " 2>&1";
  RunResult result;
  FILE* pipe = popen(shell.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  std::size_t count;
  while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, count);
  const int status = pclose(pipe);
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

struct NamedExample {
  std::string document;
  DocExample example;
};

// Names the example in test output instead of dumping its bytes.
void PrintTo(const NamedExample& named, std::ostream* out) {
  *out << named.document << ": example " << named.example.name;
}

std::vector<NamedExample> allExamples() {
  std::vector<NamedExample> examples;
  for (const char* document : kCheckedDocuments) {
    const MarkdownGuide guide = readMarkdownGuide(readFile(fs::path(kSourceDir) / document));
    for (const DocExample& example : guide.examples) examples.push_back({document, example});
  }
  return examples;
}

// The module id of a module text: the rest of its first line after "module ".
std::string moduleIdOf(const std::string& text) {
  const std::string firstLine = text.substr(0, text.find('\n'));
  const std::string keyword = "module ";
  return firstLine.compare(0, keyword.size(), keyword) == 0 ? firstLine.substr(keyword.size())
                                                             : std::string();
}

class GuideExampleTest : public testing::TestWithParam<NamedExample> {};

// Writes the example's files into a fresh folder and runs its commands, or, when it shows none,
// checks its modules with tam check, which must find nothing.
TEST_P(GuideExampleTest, RunsAsShown) {
  const NamedExample& param = GetParam();
  const DocExample& example = param.example;
  SCOPED_TRACE(param.document + ":" + std::to_string(example.line) + ": example " + example.name);
  const fs::path dir = fs::path(kWorkDir) / example.name;
  fs::remove_all(dir);
  fs::create_directories(dir / "modules");

  std::vector<ConsoleCommand> commands;
  std::vector<std::string> problems;
  bool hasProduct = false;
  for (const CodeBlock& block : example.blocks) {
    SCOPED_TRACE("code block at line " + std::to_string(block.line));
    if (block.language == "rix") {
      const std::string id = moduleIdOf(block.text);
      ASSERT_FALSE(id.empty()) << "a rix block must be a whole module text";
      ASSERT_FALSE(fs::exists(dir / "modules" / (id + ".rix"))) << "module " << id << " twice";
      writeFile(dir / "modules" / (id + ".rix"), block.text);
    } else if (block.language == "json") {
      ASSERT_FALSE(hasProduct) << "an example has one product file";
      writeFile(dir / "product.json", block.text);
      hasProduct = true;
    } else if (block.language == "console") {
      for (const ConsoleCommand& command : readConsoleBlock(block.text, problems)) {
        commands.push_back(command);
      }
    } else {
      FAIL() << "an example holds rix, json and console blocks, not '" << block.language << "'";
    }
  }
  EXPECT_EQ(problems, std::vector<std::string>());
  if (commands.empty()) {
    const RunResult check = run(dir, quoted(kTam) + " check " +
                                         (hasProduct ? "--product product.json " : "") + "modules");
    EXPECT_EQ(check.exitStatus, 0) << check.output;
  }
  for (const ConsoleCommand& command : commands) {
    SCOPED_TRACE("$ tam " + command.arguments);
    const RunResult result = run(dir, quoted(kTam) + " " + command.arguments);
    EXPECT_EQ(result.output, command.output);
    EXPECT_EQ(result.exitStatus, command.exitStatus);
  }
}

std::string exampleName(const testing::TestParamInfo<NamedExample>& info) {
  std::string name = info.param.example.name;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Guides, GuideExampleTest, testing::ValuesIn(allExamples()), exampleName);

// What the examples rest on: every runnable block of the RIX guide belongs to an example, example
// names are unique and usable as folder names, and no marker lacks its block.
TEST(GuideStructureTest, EveryRunnableBlockIsInANamedExample) {
  std::set<std::string> names;
  for (const char* document : kCheckedDocuments) {
    SCOPED_TRACE(document);
    const MarkdownGuide guide = readMarkdownGuide(readFile(fs::path(kSourceDir) / document));
    EXPECT_EQ(guide.problems, std::vector<std::string>());
    for (const DocExample& example : guide.examples) {
      EXPECT_TRUE(names.insert(example.name).second) << "example " << example.name << " twice";
      EXPECT_EQ(example.name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-"),
                std::string::npos)
          << "example name " << example.name;
      EXPECT_FALSE(example.blocks.empty()) << "example " << example.name << " shows nothing";
    }
    if (std::string(document) != kRixGuide) continue;
    EXPECT_GE(guide.examples.size(), 10u);
    for (const CodeBlock& block : guide.otherBlocks) {
      EXPECT_TRUE(block.language != "rix" && block.language != "json" &&
                  block.language != "console")
          << "the " << block.language << " block at line " << block.line
          << " belongs to no example";
    }
  }
}

TEST(GuideStructureTest, ExcerptsStandInTheirFiles) {
  int excerpts = 0;
  for (const char* document : kCheckedDocuments) {
    const MarkdownGuide guide = readMarkdownGuide(readFile(fs::path(kSourceDir) / document));
    for (const DocReference& excerpt : guide.excerpts) {
      SCOPED_TRACE(std::string(document) + ":" + std::to_string(excerpt.block.line));
      const fs::path file = fs::path(kSourceDir) / excerpt.source;
      ASSERT_TRUE(fs::is_regular_file(file)) << excerpt.source;
      EXPECT_TRUE(isExcerptOf(excerpt.block.text, readFile(file)))
          << "not an excerpt of " << excerpt.source << ":\n"
          << excerpt.block.text;
      ++excerpts;
    }
  }
  EXPECT_GT(excerpts, 0);
}

TEST(GuideStructureTest, ShownOutputIsWhatTheProgramPrints) {
  const std::map<std::string, std::string> programs = {{"tam_host_example", kHostExample}};
  int outputs = 0;
  for (const char* document : kCheckedDocuments) {
    const MarkdownGuide guide = readMarkdownGuide(readFile(fs::path(kSourceDir) / document));
    for (const DocReference& output : guide.outputs) {
      SCOPED_TRACE(std::string(document) + ":" + std::to_string(output.block.line));
      auto program = programs.find(output.source);
      ASSERT_NE(program, programs.end()) << "no program " << output.source;
      fs::create_directories(kWorkDir);
      const RunResult result = run(kWorkDir, quoted(program->second));
      EXPECT_EQ(result.exitStatus, 0);
      EXPECT_EQ(result.output, output.block.text);
      ++outputs;
    }
  }
  EXPECT_GT(outputs, 0);
}

// The limits the guide states are the ones the library enforces.
TEST(GuideStructureTest, StatedLimitsAreTheLibrarys) {
  struct Statement {
    const char* guide;
    std::string text;
  };
  const Statement statements[] = {
      {kRixGuide, std::to_string(TamRuleParser::kMaxNesting) + " levels"},
      {kRixGuide, std::to_string(TamOption::kMaxBaseChain) + " links"},
      {kHostGuide, std::to_string(TamWindow::kMaxNestedModuleCalls) + " deep"},
      {kHostGuide, std::to_string(TamNode::kMaxTreeDepth) + " levels deep"},
  };
  for (const Statement& statement : statements) {
    const std::string guide = readFile(fs::path(kSourceDir) / statement.guide);
    EXPECT_NE(guide.find(statement.text), std::string::npos)
        << statement.guide << " does not say " << statement.text;
  }
}

// The reader itself, on small documents: what it claims, and what it reports.
TEST(MarkdownReaderTest, ClaimsBlocksByMarker) {
  const std::string text =
      "# Title\n"
      "<!-- example first -->\n"
      "```rix\nmodule a\n```\n"
      "Some text.\n"
      "```console\n$ tam check modules\nok\n[exit status 1]\n```\n"
      "## Next\n"
      "```rix\nmodule b\n```\n"
      "<!-- excerpt src/x.cpp -->\n"
      "```cpp\nint x;\n```\n"
      "<!-- output prog -->\n"
      "```\nhello\n```\n"
      "<!-- excerpt src/y.cpp -->\n";
  const MarkdownGuide guide = readMarkdownGuide(text);
  ASSERT_EQ(guide.examples.size(), 1u);
  EXPECT_EQ(guide.examples[0].name, "first");
  ASSERT_EQ(guide.examples[0].blocks.size(), 2u);
  EXPECT_EQ(guide.examples[0].blocks[0].text, "module a\n");
  EXPECT_EQ(guide.examples[0].blocks[1].language, "console");
  ASSERT_EQ(guide.otherBlocks.size(), 1u);  // the heading ended the example
  EXPECT_EQ(guide.otherBlocks[0].text, "module b\n");
  EXPECT_EQ(guide.otherBlocks[0].line, 13);
  ASSERT_EQ(guide.excerpts.size(), 1u);
  EXPECT_EQ(guide.excerpts[0].source, "src/x.cpp");
  ASSERT_EQ(guide.outputs.size(), 1u);
  EXPECT_EQ(guide.outputs[0].block.text, "hello\n");
  EXPECT_EQ(guide.problems, std::vector<std::string>{"line 24: excerpt marker without a code block"});

  std::vector<std::string> problems;
  const std::vector<ConsoleCommand> commands =
      readConsoleBlock(guide.examples[0].blocks[1].text, problems);
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].arguments, "check modules");
  EXPECT_EQ(commands[0].output, "ok\n");
  EXPECT_EQ(commands[0].exitStatus, 1);
  EXPECT_TRUE(problems.empty());

  readConsoleBlock("stray\n$ ls\n", problems);
  EXPECT_EQ(problems.size(), 2u);
  EXPECT_EQ(readMarkdownGuide("```rix\nmodule a\n").problems,
            std::vector<std::string>{"line 1: code block not closed"});
}

TEST(MarkdownReaderTest, ExcerptsMatchInOrderWithElisions) {
  const std::string file = "a\nb\nc\nd\ne\n";
  struct Case {
    const char* excerpt;
    bool matches;
  };
  const Case cases[] = {
      {"b\nc\n", true},           {"b\nd\n", false},     {"b\n// ...\nd\n", true},
      {"d\n// ...\nb\n", false},  {"  // ...\ne\n", true}, {"a\nb\nc\nd\ne\nf\n", false},
      {"c\n// ...\n", true},      {"a\n# ...\ne\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.excerpt);
    EXPECT_EQ(isExcerptOf(c.excerpt, file), c.matches);
  }
}

}  // namespace
