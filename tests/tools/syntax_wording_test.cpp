// tam's words and places for the syntax errors of RIX: each failure the library reports is
// worded in lower case, shown at the offending token or just after the last token read when
// something is missing at the end of a line, with a note at the construct it leaves open.
#include <gtest/gtest.h>

#include <string>

#include "Suggest.h"
#include "SyntaxWording.h"

namespace {

std::string placeText(const TamSourcePos& place) {
  return place.isKnown() ? std::to_string(place.line) + ":" + std::to_string(place.column) : "-";
}

TEST(SyntaxWordingTest, WordsAndPlacesRuleErrors) {
  struct Case {
    const char* rules;
    const char* message;
    const char* place;
    const char* note;  // "text at line:column", or "" when there is none
  };
  const Case cases[] = {
      {"if m:a > 1\n  set m:b to 2\nendif", "expected 'then' after the condition", "1:11", ""},
      {"if m:a > 1 set m:b to 2 endif", "expected 'then' after the condition", "1:12", ""},
      {"set m:a 1", "expected 'to' after the option", "1:9", ""},
      {"if m:a then\n  set m:b to 1\n# end\n", "expected 'endif'", "2:15",
       "to match this 'if' at 1:1"},
      {"set m:a to (1 + 2", "expected ')'", "1:18", "to match this '(' at 1:12"},
      {"set m:a to \"open", "missing terminating '\"' character", "1:12", ""},
      {"foo bar", "expected a statement, found 'foo'", "1:1", ""},
      {"public x integer", "expected a statement, found 'public' (declarations belong between "
                           "'interface start' and 'interface end')",
       "1:1", ""},
      {"mutually_exclusive : [a b]", "expected ',' or ']' in the list of options", "1:25",
       "to match this '[' at 1:22"},
      {"set a to 1", "expected ':' (an option is written module:option)", "1:7", ""},
      {"set m:a to 1\x01", "unexpected character '\x01'", "1:13", ""},
      {"set m:a to caf\xc3\xa9", "unexpected character '\xc3\xa9' (a name with characters other "
                                 "than ASCII letters, digits and '_' is written in single quotes)",
       "1:15", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rules);
    const TamRixOutline outline = TamRixOutline::fromRules(c.rules);
    ASSERT_TRUE(outline.failed());
    const SyntaxReport report = describeSyntaxFailure(outline.failure(), RixPiece::kRules, c.rules);
    EXPECT_EQ(report.message, c.message);
    EXPECT_EQ(placeText(failurePlace(outline.failure(), std::string(c.rules).size())), c.place);
    EXPECT_EQ(report.note.empty() ? std::string()
                                  : report.note + " at " + placeText(report.notePlace),
              c.note);
  }
}

TEST(SyntaxWordingTest, WordsDeclarationsAndConditions) {
  const TamDeclarationOutline declaration = TamDeclarationOutline::read("public x integer : opt");
  ASSERT_TRUE(declaration.failed());
  EXPECT_EQ(describeSyntaxFailure(declaration.failure(), RixPiece::kDeclaration,
                                  declaration.text())
                .message,
            "expected 'mandatory' after ':'");
  const TamRixOutline condition = TamRixOutline::fromCondition("m:a = 1 m:b");
  ASSERT_TRUE(condition.failed());
  EXPECT_EQ(describeSyntaxFailure(condition.failure(), RixPiece::kCondition, condition.text())
                .message,
            "unexpected text after the end of the condition");
}

// The library's own texts, met without an outline, in tam's words.
TEST(SyntaxWordingTest, RewordsLibraryMessages) {
  EXPECT_EQ(syntaxMessageInTamWords("Error parsing set/fix statement: 'to' not found"),
            "expected 'to' after the option");
  EXPECT_EQ(syntaxMessageInTamWords("Unexpected input foo"), "unexpected 'foo'");
  EXPECT_EQ(syntaxMessageInTamWords("Unterminated single quotes"),
            "missing terminating ' character");
  EXPECT_EQ(syntaxMessageInTamWords("Something New"), "something New");
}

TEST(SuggestTest, ABudgetBoundsTheWork) {
  const std::vector<std::string> names = {"cores", "vendor", "clock"};
  SuggestionBudget budget(2 * 5 * (5 + 6 + 5));  // two suggestions for five-letter names
  EXPECT_EQ(didYouMean("corse", names, budget), " (did you mean 'cores'?)");
  EXPECT_EQ(closestName("clokc", names, budget), "clock");
  EXPECT_EQ(closestName("corse", names, budget), "");  // spent
  EXPECT_EQ(closestName("corse", names), "cores");     // no budget, no bound
}

}  // namespace
