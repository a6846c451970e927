// Renaming an option to a name spelled like a keyword must leave text that still parses.
#include <gtest/gtest.h>

#include "TestHost.h"
#include "rix/TamRuleParser.h"
#include "rules/TamExp.h"

namespace {

TEST(KeywordRenameTest, KeywordNamesAreQuotedSoTheTextStillParses) {
  tamtest::TestAdapter adapter;
  TamTranslater translater;
  translater.addOptionMapping("m", "a", "set");
  translater.addOptionMapping("m", "b", "if");
  const std::string rules = translater.translateRix("set m:a to 1 set m:b to m:a + 1");
  EXPECT_EQ(rules, "set m:'set' to 1 set m:'if' to m:'set' + 1");
  EXPECT_EQ(TamRuleParser(rules).parseRules()->body()->dump(),
            "[set(m:set, 1); set(m:if, plus(m:set, 1))]");
  EXPECT_EQ(translater.translateCondition("m:b"), "m:'if'");
  EXPECT_EQ(translater.translateOption("public x uses m:a default 1"),
            "public x uses m:'set' default 1");
  // Names that are no keyword stay bare.
  translater.addOptionMapping("m", "c", "settings");
  EXPECT_EQ(translater.translateCondition("m:c"), "m:settings");
}

}  // namespace
