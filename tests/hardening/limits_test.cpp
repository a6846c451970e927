// Depth and size: every construct that nests or repeats, at sizes no real product reaches, either
// works without recursion or stops at its named limit with a clear error. (Expression chains and
// elif chains in the parser and the statements are covered beside them; the host's tree and
// module loads in hostile_host_test.cpp.)
#include <gtest/gtest.h>

#include <string>

#include "TestHost.h"
#include "rix/TamRuleParser.h"
#include "rules/TamExp.h"
#include "tam/libtam.h"

namespace {

// Long enough that a walk recursing once per element would overflow the stack.
constexpr int kLong = 50000;

std::string repeat(const std::string& text, int times) {
  std::string out;
  out.reserve(text.size() * static_cast<size_t>(times));
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

class LimitsTest : public ::testing::Test {
 protected:
  tamtest::TestAdapter adapter;
  ref_count_ptr<TamWindow> window = Tam::createWindow();
};

TEST_F(LimitsTest, LongChainsTranslateWithoutNesting) {
  TamTranslater translater;
  translater.addModuleMapping("m", "n");
  translater.addOptionMapping("m", "a", "b");
  struct Case {
    const char* what;
    std::string rules;
    std::string translated;
  };
  const Case cases[] = {
      {"elif chain", "if m:a = 0 then set m:a to 1" + repeat(" elif m:a = 1 then set m:a to 1", kLong) +
                         " endif",
       "if n:b = 0 then set n:b to 1" + repeat(" elif n:b = 1 then set n:b to 1", kLong) +
           " endif"},
      {"or chain", "if m:a = 0" + repeat(" or m:a = 1", kLong) + " then set m:a to 2 endif",
       "if n:b = 0" + repeat(" or n:b = 1", kLong) + " then set n:b to 2 endif"},
      {"sum", "set m:a to 0" + repeat(" + m:a", kLong), "set n:b to 0" + repeat(" + n:b", kLong)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(translater.translateRix(c.rules), c.translated);
  }
}

TEST_F(LimitsTest, LongPathsParsePrintAndCompare) {
  std::string text;
  for (int i = 0; i < kLong; ++i) text += (i ? "." : "") + std::string("n") + std::to_string(i);
  const TamPath path = TamPath::parsePath(text);
  ASSERT_EQ(path.path().size(), static_cast<size_t>(kLong));
  EXPECT_EQ(path.toParseableString(), text);
  EXPECT_EQ(path.toDisplayString(), text);
  // Only the first 31 positions weigh: a match further on scores 0 but still matches.
  EXPECT_EQ(path.compare(TamPath::parsePath("n0")), 1 << 30);
  const std::string lastId = "n" + std::to_string(kLong - 1);
  EXPECT_EQ(path.compare(TamPath::parsePath(lastId)), 0);
  EXPECT_EQ(path.compare(TamPath::parsePath(lastId + ".n0")), -1);
  // A bracketed path of the same length inside a rule reads as one reference.
  ref_count_ptr<TamExpRoot> root = TamRuleParser("set m:a [" + text + "] to 1").parseRules();
  EXPECT_EQ(root->body()->dump(), "[set(m:a[" + text + "], 1)]");
}

TEST_F(LimitsTest, LongValueListsDeclareAndCheck) {
  std::string declaration = "public listed integer non_mutually_exclusive =";
  std::string strings = "public named string =";
  for (int k = 0; k < kLong; ++k) {
    declaration += (k ? ", " : " ") + std::to_string(k * 2);
    strings += " \"v" + std::to_string(k) + "\"";
  }
  ref_count_ptr<TamModule> module = window->createModule("list");
  ref_count_ptr<TamOption> listed = module->addOptionString(declaration + " default 4");
  ref_count_ptr<TamOption> named = module->addOptionString(strings);
  EXPECT_EQ(listed->values().size(), static_cast<size_t>(kLong));
  EXPECT_TRUE(listed->validateValue(TamValue::createInt((kLong - 1) * 2)));
  EXPECT_FALSE(listed->validateValue(TamValue::createInt(3)));
  EXPECT_TRUE(named->validateValue(TamValue::createString("v" + std::to_string(kLong - 1))));
  EXPECT_EQ(module->getRixData().size(),
            std::string("module list\ninterface start\ninterface end\n").size() +
                declaration.size() + strings.size() + std::string(" default 4\n\n").size());
  TamTranslater translater;
  EXPECT_EQ(translater.translateOption(declaration), declaration);
}

TEST_F(LimitsTest, ManyOptionsAndRulesInOneModuleTextRoundTrip) {
  const int options = 5000;
  std::string declarations;
  std::string rules;
  for (int k = 0; k < options; ++k) {
    const std::string name = "o" + std::to_string(k);
    declarations += "public " + name + " integer = 0 to 9 default 1\n";
    rules += "if wide:" + name + " > 0 then set wide:" + name + " to 2 endif\n";
  }
  const std::string text =
      "module wide\ninterface start\n" + declarations + "interface end\n" + rules;
  adapter.addModuleText("wide", text);
  tamtest::TestNode node(window, "w", "wide");
  window->setRoot(&node);
  window->evaluate(true);
  EXPECT_EQ(node.getSos().contents().size(), static_cast<size_t>(options));
  EXPECT_EQ(tamtest::valueText(node.getSos(), window->getModule("wide")->getOption("o4999")), "2");
  // The module writes its options in name order, then the rules as read.
  ref_count_ptr<TamModule> copy = window->createModule("copy");
  TamTranslater translater;
  copy->setRixData(translater.translateRixData("copy", window->getModule("wide")->getRixData()));
  EXPECT_EQ(copy->options().size(), static_cast<size_t>(options));
  EXPECT_EQ(copy->getRix()->rix(), rules);
}

}  // namespace
