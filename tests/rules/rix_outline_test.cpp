// Outlines of rules and conditions: exact places of every statement and reference (comments,
// line feeds inside strings, CR LF, tabs), every node kind in one printed form, failures with
// their code, place and the construct left open, the stop at a stray terminator, outlines of
// roots the library parsed already, and agreement with the plain parse: the same tree and the
// same exception, with or without an outline.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TestHost.h"
#include "rix/TamRuleParser.h"
#include "rules/TamExp.h"
#include "tam/libtam.h"

namespace {

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(RixOutlineTest, PlacesCountEveryLineFeedAndByte) {
  // Comments, a CR LF text, tabs, a path, and a string holding a line feed: the statement lines
  // the library stamps (line N) skip that line feed, the places do not.
  const std::string text =
      "# settings\r\n"
      "set m:a to 1 # one\r\n"
      "\tif m:b = \"two\nlines\" then\r\n"
      "\t\tfix m:c [p.q] to m:d + 2\r\n"
      "\tendif\r\n"
      "inform \"x\"";
  EXPECT_EQ(TamRixOutline::fromRules(text).print(),
            "statements 2:1-7:11\n"
            "  set 2:1-2:13 line 3\n"
            "    reference 2:5-2:8 m:a module@2:5 name@2:7\n"
            "    literal 2:12-2:13 1\n"
            "  if 3:2-6:7 endif@6:2 line 6\n"
            "    eq 3:5-4:7\n"
            "      option_value 3:5-3:8\n"
            "        reference 3:5-3:8 m:b module@3:5 name@3:7\n"
            "      literal 3:11-4:7 \"two\\nlines\"\n"
            "    statements 5:3-5:27\n"
            "      fix 5:3-5:27 line 5\n"
            "        reference 5:7-5:16 m:c[p.q] module@5:7 name@5:9 path@5:11-5:16\n"
            "        plus 5:20-5:27\n"
            "          option_value 5:20-5:23\n"
            "            reference 5:20-5:23 m:d module@5:20 name@5:22\n"
            "          literal 5:26-5:27 2\n"
            "    none\n"
            "  message 7:1-7:11 inform line 6\n"
            "    literal 7:8-7:11 \"x\"\n");
}

// The README shows this loop.
TEST(RixOutlineTest, ReferencesAreFoundWithTheirPlaces) {
  TamRixOutline outline =
      TamRixOutline::fromRules("if engine:size > 2 then\n  fix engine:turbo to true\nendif");
  std::string places;
  for (const TamRixOutline::Node& node : outline.nodes()) {
    if (node.kind != TamRixOutline::KIND_OPTION_REFERENCE) continue;
    places += node.moduleId + ":" + node.optionName + " at " + std::to_string(node.begin.line) +
              ":" + std::to_string(node.begin.column) + "\n";
  }
  EXPECT_EQ(places, "engine:size at 1:4\nengine:turbo at 2:7\n");
}

TEST(RixOutlineTest, EveryNodeKindInOnePrintedForm) {
  const std::string text =
      "set m:a to 1 + 2.5 - 3 * 4 / m:b\n"
      "fix m:c to -m:d\n"
      "if m:e = \"s\" or m:f != true and not m:g < 1 then\n"
      "  inform m:h\n"
      "elif m:i > 2 or m:j <= 3 or m:k >= false then\n"
      "  warn \"w\"\n"
      "else\n"
      "  error \"e\"\n"
      "endif\n"
      "mutually_exclusive : [p, 'q']\n"
      "mutually_exclusive : {p.x, q.y}";
  EXPECT_EQ(TamRixOutline::fromRules(text).print(),
            "statements 1:1-11:32\n"
            "  set 1:1-1:33 line 2\n"
            "    reference 1:5-1:8 m:a module@1:5 name@1:7\n"
            "    minus 1:12-1:33\n"
            "      plus 1:12-1:19\n"
            "        literal 1:12-1:13 1\n"
            "        literal 1:16-1:19 2.500000\n"
            "      divides 1:22-1:33\n"
            "        multiplies 1:22-1:27\n"
            "          literal 1:22-1:23 3\n"
            "          literal 1:26-1:27 4\n"
            "        option_value 1:30-1:33\n"
            "          reference 1:30-1:33 m:b module@1:30 name@1:32\n"
            "  fix 2:1-2:16 line 3\n"
            "    reference 2:5-2:8 m:c module@2:5 name@2:7\n"
            "    minus 2:12-2:16\n"
            "      literal 2:12-2:12 0\n"
            "      option_value 2:13-2:16\n"
            "        reference 2:13-2:16 m:d module@2:13 name@2:15\n"
            "  if 3:1-9:6 else@5:1 endif@9:1 line 5\n"
            "    or 3:4-3:44\n"
            "      eq 3:4-3:13\n"
            "        option_value 3:4-3:7\n"
            "          reference 3:4-3:7 m:e module@3:4 name@3:6\n"
            "        literal 3:10-3:13 \"s\"\n"
            "      and 3:17-3:44\n"
            "        ne 3:17-3:28\n"
            "          option_value 3:17-3:20\n"
            "            reference 3:17-3:20 m:f module@3:17 name@3:19\n"
            "          literal 3:24-3:28 true\n"
            "        not 3:33-3:44\n"
            "          lt 3:37-3:44\n"
            "            option_value 3:37-3:40\n"
            "              reference 3:37-3:40 m:g module@3:37 name@3:39\n"
            "            literal 3:43-3:44 1\n"
            "    statements 4:3-4:13\n"
            "      message 4:3-4:13 inform line 5\n"
            "        option_value 4:10-4:13\n"
            "          reference 4:10-4:13 m:h module@4:10 name@4:12\n"
            "    if 5:1-9:6 else@7:1 endif@9:1 line 10\n"
            "      or 5:6-5:41\n"
            "        gt 5:6-5:13\n"
            "          option_value 5:6-5:9\n"
            "            reference 5:6-5:9 m:i module@5:6 name@5:8\n"
            "          literal 5:12-5:13 2\n"
            "        or 5:17-5:41\n"
            "          le 5:17-5:25\n"
            "            option_value 5:17-5:20\n"
            "              reference 5:17-5:20 m:j module@5:17 name@5:19\n"
            "            literal 5:24-5:25 3\n"
            "          ge 5:29-5:41\n"
            "            option_value 5:29-5:32\n"
            "              reference 5:29-5:32 m:k module@5:29 name@5:31\n"
            "            literal 5:36-5:41 false\n"
            "      statements 6:3-6:11\n"
            "        message 6:3-6:11 warn line 7\n"
            "          literal 6:8-6:11 \"w\"\n"
            "      statements 8:3-8:12\n"
            "        message 8:3-8:12 error line 9\n"
            "          literal 8:9-8:12 \"e\"\n"
            "  exclusive_options 10:1-10:30\n"
            "    reference 10:23-10:24 p name@10:23\n"
            "    reference 10:26-10:29 q name@10:26\n"
            "  exclusive_values 11:1-11:32\n"
            "    reference 11:23-11:24 p name@11:23\n"
            "    literal 11:25-11:26 \"x\"\n"
            "    reference 11:28-11:29 q name@11:28\n"
            "    literal 11:30-11:31 \"y\"\n");
}

TEST(RixOutlineTest, ParenthesesBelongToTheValueTheyEnclose) {
  struct Case { const char* text; const char* expected; };
  const Case cases[] = {
      {"(m:a)", "option_value 1:1-1:6\n  reference 1:2-1:5 m:a module@1:2 name@1:4\n"},
      {"not (1 = 2)",
       "not 1:1-1:12\n  eq 1:5-1:12\n    literal 1:6-1:7 1\n    literal 1:10-1:11 2\n"},
      {"0 < ((1 + 2)) * 3",
       "lt 1:1-1:18\n  literal 1:1-1:2 0\n  multiplies 1:5-1:18\n    plus 1:5-1:14\n"
       "      literal 1:7-1:8 1\n      literal 1:11-1:12 2\n    literal 1:17-1:18 3\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(TamRixOutline::fromCondition(c.text).print(), c.expected);
  }
}

// Each failure as print() shows it: code, English message, the offending token, just past the
// token before it, the construct left open, and the line of the exception.
TEST(RixOutlineTest, FailuresCarryCodePlaceAndTheConstructLeftOpen) {
  struct Case { const char* text; bool isCondition; const char* expected; };
  const Case cases[] = {
      {"if m:a\n\nset m:b to 1 endif", false,
       "failure SE_missing_then \"Error parsing 'if' statement - missing then\" at 3:1 after 1:7 "
       "line 3"},
      {"set m:x to 0\n  if m:a then\n    set m:b to 1\n", false,
       "failure SE_missing_endif \"Error parsing 'if' statement - missing endif\" at 4:1 after "
       "3:17 related 2:3 line 4"},
      {"if m:a then elif m:b then set m:c to 1 else", false,
       "failure SE_missing_endif \"Error parsing 'if' statement - missing endif\" at 1:44 after "
       "1:44 related 1:1 line 1"},
      {"set m:a 1", false,
       "failure SE_missing_to \"Error parsing set/fix statement: 'to' not found\" at 1:9 after "
       "1:8 line 1"},
      {"set m:a to (1 +\n 2 * (3)", false,
       "failure SE_expect_closebracket \"Parse error:  Expected ')'\" at 2:9 after 2:9 related "
       "1:12 line 2"},
      {"m:a or (m:b and m:c", true,
       "failure SE_expect_closebracket \"Parse error:  Expected ')'\" at 1:20 after 1:20 related "
       "1:8 line 1"},
      {"foo bar", false,
       "failure SE_unexpected \"Unexpected input foo\" at 1:1 after 1:1 line 1"},
      {"mutually_exclusive : [a b]", false,
       "failure SE_unexpected \"Unexpected input b\" at 1:25 after 1:24 related 1:22 line 1"},
      {"mutually_exclusive : {a.x b.y}", false,
       "failure SE_mutually_exclusive \"SE_mutually_exclusive\" at 1:27 after 1:26 related "
       "1:22 line 1"},
      {"set a to 1", false,
       "failure SE_expect_colon \"Expected ':' parsing option name\" at 1:7 after 1:6 line 1"},
      {"set m: to 1", false,
       "failure SE_expect_optname \"Expected option name after ':'\" at 1:8 after 1:7 line 1"},
      {"set m:a [p.q to 1", false,
       "failure SE_path \"Syntax Error Parsing path - expected one '.'  or  ']'  or a path "
       "name\" at 1:14 after 1:13 related 1:9 line 1"},
      {"set m:a to unset", false,
       "failure SE_expect_optorval \"Parse Error: Expected option or value\" at 1:12 after 1:11 "
       "line 1"},
      {"m:a = 1 m:b", true,
       "failure SE_extra_input \"SE_extra_input\" at 1:9 after 1:8 line 1"},
      {"set m:a to \"open\nstring", false,
       "failure - \"Unterminated double quotes\" at 2:7 after 1:11 related 1:12 line 1"},
      {"  'never closed", true,
       "failure - \"Unterminated single quotes\" at 1:16 after 1:1 related 1:3 line 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TamRixOutline outline =
        c.isCondition ? TamRixOutline::fromCondition(c.text) : TamRixOutline::fromRules(c.text);
    EXPECT_TRUE(outline.failed());
    EXPECT_EQ(outline.top(), -1);
    EXPECT_EQ(outline.print(), std::string(c.expected) + "\n");
  }
}

TEST(RixOutlineTest, NestingTooDeepHasNoCode) {
  const std::string text = repeat("(", TamRuleParser::kMaxNesting + 1) + "m:a";
  TamRixOutline outline = TamRixOutline::fromCondition(text);
  ASSERT_TRUE(outline.failed());
  EXPECT_EQ(outline.failure().code, "");
  EXPECT_EQ(outline.failure().message, "Nesting too deep: more than 256 levels");
  EXPECT_EQ(outline.failure().position.column, TamRuleParser::kMaxNesting + 1);
}

TEST(RixOutlineTest, StrayTerminatorStopsReadingAndIsReported) {
  struct Case { const char* text; const char* expectedDump; const char* expectedStop; };
  const Case cases[] = {
      {"set m:a to 1\nendif\nset m:b to 2", "[set(m:a, 1)]", "2:1"},
      {"  else set m:b to 2", "null", "1:3"},
      {"if m:a then endif elif m:b then endif", "[if(m:a, null, null)]", "1:19"},
      {"set m:a to 1 # endif\n", "[set(m:a, 1)]", ""},
      {"", "null", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TamRixOutline outline = TamRixOutline::fromRules(c.text);
    EXPECT_FALSE(outline.failed());
    EXPECT_EQ(outline.dumpTree(), c.expectedDump);
    const TamSourcePos stop = outline.stopPosition();
    EXPECT_EQ(outline.stoppedEarly(), *c.expectedStop != '\0');
    EXPECT_EQ(stop.isKnown() ? std::to_string(stop.line) + ":" + std::to_string(stop.column) : "",
              c.expectedStop);
  }
}

// The outline and the offsets of a root the library keeps: statements are reachable with their
// place from the tree the module runs.
TEST(RixOutlineTest, RootsKeepOffsetsAndGiveTheirOutline) {
  tamtest::TestAdapter adapter;
  ref_count_ptr<TamWindow> window = Tam::createWindow();
  ref_count_ptr<TamModule> module = window->createModule("m");
  module->setRix("set m:a to 1\n\n  if m:b then inform \"x\" endif\nendif junk");
  ref_count_ptr<TamExpRoot> root = module->getRix();
  const auto& statements = dynamic_cast<const TamExpListExp&>(*root->body()).children();
  ASSERT_EQ(statements.size(), 2u);
  const TamSourcePos second = root->position(statements[1]->beginOffset());
  EXPECT_EQ(std::to_string(second.line) + ":" + std::to_string(second.column), "3:3");
  EXPECT_EQ(root->position(root->stopOffset()).line, 4);
  EXPECT_FALSE(root->position(TamSourcePos::kNoOffset).isKnown());
  EXPECT_EQ(root->outline().print(), TamRixOutline::fromRules(root->rix()).print());

  ref_count_ptr<TamConditionExp> condition = TamRuleParser("m:a = 1").parseCondition();
  EXPECT_EQ(condition->outline().dumpTree(), "eq(m:a, 1)");
  EXPECT_EQ(module->getRix()->outline().nodes().size(), 10u);
  module->setRix("");
  EXPECT_EQ(module->getRix()->outline().top(), -1);
}

// The lexer's context window at an offset, as a thrown syntax error shows it.
std::string contextAt(const std::string& text, size_t offset) {
  const size_t start = offset < 20 ? 0 : offset - 20;
  std::string window = text.substr(start, 40);
  std::replace(window.begin(), window.end(), '\n', ' ');
  std::replace(window.begin(), window.end(), '\t', ' ');
  std::replace(window.begin(), window.end(), '\r', ' ');
  return window + "\n" + std::string(offset - start, ' ') + "^";
}

// Parsing with and without an outline gives the same tree, or the same exception: the outline's
// failure names the token the exception's context points at.
TEST(RixOutlineTest, AgreesWithThePlainParse) {
  tamtest::TestAdapter adapter;
  const std::vector<std::string> texts = {
      "",
      "set m:a to 1 + 2 * 3 fix m:b to -m:c / (2 - 1)",
      "if m:a = 1 and not m:b = 2 or m:c then set m:d to 1 elif m:e then else inform \"x\" endif",
      "mutually_exclusive : [a, b, ''] mutually_exclusive : {a.x, b.'y z'} endif trailing",
      "set 'my mod':'if' [p.q] to m:b [x] + m:c[]",
      "set '':a to '':z * m:b",  // an empty module id, written
      "error \"Bad \" + m:a warn m:w inform 3.25",
      "if m:a then if m:b then endif",
      "set m:a to (1",
      "set m:a to \"x",
      "mutually_exclusive : {a.'', b.y}",
      "mutually_exclusive ; [a]",
      "mutually_exclusive : (a)",
      "set m:a to 1 $",
      "m:a = 1 = 2",
      "not not m:a",
      "(m:a + 1) > 2",
      repeat("if m:a then ", 300),
      repeat("(", 300) + "1",
      "if m:a then " + repeat("elif m:b then ", 2000) + "endif",
  };
  for (const std::string& text : texts) {
    for (bool isCondition : {false, true}) {
      SCOPED_TRACE(text.substr(0, 80) + (isCondition ? " (condition)" : " (rules)"));
      TamRixOutline outline =
          isCondition ? TamRixOutline::fromCondition(text) : TamRixOutline::fromRules(text);
      try {
        TamRuleParser parser(text);
        std::string dump;
        if (isCondition) {
          dump = parser.parseCondition()->condition()->dump();
        } else {
          ref_count_ptr<TamExpRoot> root = parser.parseRules();
          dump = root->body() ? root->body()->dump() : "null";
        }
        EXPECT_FALSE(outline.failed());
        EXPECT_EQ(outline.dumpTree(), dump);
      } catch (const TamSyntaxError& e) {
        ASSERT_TRUE(outline.failed());
        const TamParseFailure& failure = outline.failure();
        EXPECT_EQ(failure.message, e.info());
        EXPECT_EQ(failure.exceptionLine, e.line());
        const bool quote = failure.message.rfind("Unterminated", 0) == 0;
        const TamSourcePos at = quote ? failure.related : failure.position;
        EXPECT_EQ(contextAt(text, at.offset), e.context());
      }
    }
  }
}

// Every node lies inside its parent and in the text, and the tree's links agree both ways.
TEST(RixOutlineTest, NodesNestInsideTheirParents) {
  const std::string text =
      "if m:a then set m:b [x.y] to (1 + m:c) * 2 elif not m:d then error \"e\" endif\n"
      "mutually_exclusive : {a.x, b.y} inform -(3)";
  TamRixOutline outline = TamRixOutline::fromRules(text);
  const auto& nodes = outline.nodes();
  ASSERT_FALSE(nodes.empty());
  EXPECT_EQ(outline.top(), 0);
  for (size_t i = 0; i < nodes.size(); ++i) {
    SCOPED_TRACE(i);
    const TamRixOutline::Node& node = nodes[i];
    ASSERT_TRUE(node.begin.isKnown());
    EXPECT_LE(node.begin.offset, node.end.offset);
    EXPECT_LE(node.end.offset, text.size());
    EXPECT_EQ(outline.lines().position(node.begin.offset), node.begin);
    for (int child : node.children) {
      if (child < 0) continue;
      const TamRixOutline::Node& below = nodes[static_cast<size_t>(child)];
      EXPECT_EQ(below.parent, static_cast<int>(i));
      EXPECT_GT(child, static_cast<int>(i));
      EXPECT_LE(node.begin.offset, below.begin.offset);
      EXPECT_LE(below.end.offset, node.end.offset);
    }
  }
}

}  // namespace
