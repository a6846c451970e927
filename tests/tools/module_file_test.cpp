// Splitting a module file into its parts: the declaration lines, the second line and the rules
// are read out of the one kept text, so they must come back whole after the file is copied or
// moved and the original is gone, whatever the line ends and blank lines around them.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ModuleFile.h"

namespace {

struct Declared {
  int line;
  std::string text;
};

struct SplitCase {
  const char* name;
  std::string text;
  std::vector<Declared> declarations;
  int rulesLine;  // 0: no "interface end"
  std::string rules;
};

const std::vector<SplitCase>& splitCases() {
  static const std::vector<SplitCase> cases = {
      {"line feeds",
       "module m\ninterface start\npublic a logical\npublic b integer default 2\n"
       "interface end\nset m:a to true\n",
       {{3, "public a logical"}, {4, "public b integer default 2"}},
       6,
       "set m:a to true\n"},
      {"carriage returns and blank lines",
       "module m\r\n\r\ninterface start\r\npublic a logical\r\n\r\n\r\npublic s string\r\n"
       "interface end\r\n\r\nset m:a to true",
       {{4, "public a logical"}, {7, "public s string"}},
       10,
       "set m:a to true"},
      {"short lines, no rules",
       "module m\ninterface start\np\nq\ninterface end\n",
       {{3, "p"}, {4, "q"}},
       6,
       ""},
      {"no interface end",
       "module m\ninterface start\npublic a logical\n",
       {{3, "public a logical"}},
       0,
       ""},
  };
  return cases;
}

void expectParts(const ModuleFile& file, const SplitCase& c, const std::string& how) {
  SCOPED_TRACE(std::string(c.name) + ", " + how);
  EXPECT_EQ(file.id(), "m");
  EXPECT_EQ(file.lineText(file.secondLine()), "interface start");
  ASSERT_EQ(file.declarations().size(), c.declarations.size());
  for (std::size_t i = 0; i < c.declarations.size(); ++i) {
    const ModuleLine& line = file.declarations()[i];
    EXPECT_EQ(line.line, c.declarations[i].line);
    EXPECT_EQ(file.lineText(line), c.declarations[i].text);
    // A place at the end of the line underlines the whole line, on its own line of the file.
    const SourcePlace place = file.placeInLine(line, 0, c.declarations[i].text.size());
    EXPECT_EQ(place.line, c.declarations[i].line);
    EXPECT_EQ(place.sourceLine, c.declarations[i].text);
  }
  EXPECT_EQ(file.hasInterfaceEnd(), c.rulesLine > 0);
  EXPECT_EQ(file.rulesLine(), c.rulesLine);
  EXPECT_EQ(file.rules(), c.rules);
}

TEST(ModuleFileTest, PartsSurviveCopiesAndMoves) {
  for (const SplitCase& c : splitCases()) {
    std::vector<ModuleFile> kept;
    {
      ModuleFile original = ModuleFile::fromText("m.rix", c.text);
      expectParts(original, c, "as read");
      kept.push_back(original);             // a copy, the original then goes away
      kept.push_back(std::move(original));  // moved, and moved again as the vector grows
      for (int i = 0; i < 5; ++i) kept.push_back(kept.front());
    }
    expectParts(kept.front(), c, "copied");
    expectParts(kept[1], c, "moved");
    ModuleFile assigned = ModuleFile::fromText("other.rix", "module other\n");
    assigned = kept.back();
    kept.clear();
    expectParts(assigned, c, "assigned over another file");
  }
}

}  // namespace
