// Value expressions evaluated against a selected option set of a window with module m.
#include <string>
#include <vector>

#include "rules_fixture.h"

namespace rulestest {
namespace {

using ValueExpTest = RulesTest;

TEST_F(ValueExpTest, LiteralsEvaluateToTheirValueAndDump) {
  struct Case {
    TamValueExp* exp;
    TamValue::ValueType type;
    const char* text;
    const char* dump;
  };
  const Case cases[] = {
      {unsetLit(), TamValue::VT_UNSET, "***UNSET***", "unset"},
      {lit(42), TamValue::VT_INT, "42", "42"},
      {lit(2.5), TamValue::VT_REAL, "2.500000", "2.500000"},
      {lit(false), TamValue::VT_BOOL, "false", "false"},
      {lit("Bad "), TamValue::VT_STRING, "Bad ", "\"Bad \""},
  };
  for (const Case& c : cases) {
    std::unique_ptr<TamValueExp> exp(c.exp);
    SCOPED_TRACE(c.dump);
    ref_count_ptr<TamValue> value = exp->evaluate(*sos);
    EXPECT_EQ(value->type(), c.type);
    EXPECT_EQ(value->displayString(), c.text);
    EXPECT_EQ(exp->dump(), c.dump);
    EXPECT_EQ(exp->evaluate(*sos).get(), value.get());  // the same object every time
    EXPECT_TRUE(exp->values(*sos).empty());
    EXPECT_FALSE(exp->isMultiValued(*sos));
  }
}

TEST_F(ValueExpTest, ReferenceWithoutEntryReadsDefaultAndLeavesIt) {
  std::unique_ptr<TamValueExp> exp(ref("m", "a"));
  EXPECT_TRUE(sos->contents().empty());
  EXPECT_EQ(evalText(*exp), "7");
  ASSERT_EQ(sos->contents().count(option("a")), 1u);
  const TamSelOptionSet::TamSosEntry& entry = sos->contents().find(option("a"))->second;
  ASSERT_EQ(entry.howSet.size(), 1u);
  EXPECT_EQ(entry.howSet[0], TamSelOptionSet::HOWSET_DEFAULT);
  EXPECT_TRUE(entry.path.isEmpty());
  EXPECT_FALSE(exp->isMultiValued(*sos));
  ASSERT_EQ(exp->values(*sos).size(), 1u);

  // Only the entry of the empty path is read, whatever path the reference was written with.
  TamSelOptionSet::TamSosEntry atPath;
  atPath.option = option("a");
  atPath.path = TamPath({"p"});
  atPath.values = {I(1)};
  atPath.howSet = {TamSelOptionSet::HOWSET_SET};
  sos->set(atPath);
  TamOptionValueExp withPath(optRef("m", "a", TamPath({"p"})));
  EXPECT_EQ(evalText(withPath), "7");
  EXPECT_EQ(withPath.dump(), "m:a[p]");
}

TEST_F(ValueExpTest, UnsetOnEitherSideOfAComparisonGivesUnset) {
  const BinaryMaker makers[] = {make<Eq>, make<Ne>, make<Lt>, make<Gt>, make<Le>, make<Ge>};
  for (BinaryMaker maker : makers) {
    // Left Unset: the right side, which would fail with 302, is never evaluated.
    std::unique_ptr<TamValueExp> leftLiteral(maker(unsetLit(), missingModuleRef()));
    std::unique_ptr<TamValueExp> leftOption(maker(ref("m", "u"), missingModuleRef()));
    // Right Unset: Unset, not false, even against a kind no ordering accepts.
    std::unique_ptr<TamValueExp> rightUnset(maker(lit(true), ref("m", "u")));
    SCOPED_TRACE(leftLiteral->dump());
    EXPECT_EQ(leftLiteral->evaluate(*sos)->type(), TamValue::VT_UNSET);
    EXPECT_EQ(leftOption->evaluate(*sos)->type(), TamValue::VT_UNSET);
    EXPECT_EQ(rightUnset->evaluate(*sos)->type(), TamValue::VT_UNSET);
  }
  // With a value on the left the right side is evaluated and its failure passes.
  std::unique_ptr<TamValueExp> failing(make<Eq>(lit(1), missingModuleRef()));
  EXPECT_EQ(codeOf([&] { failing->evaluate(*sos); }), 302);
}

// n holds 1 and 5, k holds 3 and 5, far holds 6 and 7: a comparison holds when any pair does.
TEST_F(ValueExpTest, MultiValuedOperandsCompareByAnyPair) {
  setValues("n", {I(1), I(5)});
  setValues("k", {I(3), I(5)});
  setValues("far", {I(6), I(7)});
  auto n = [] { return ref("m", "n"); };
  auto k = [] { return ref("m", "k"); };
  auto far = [] { return ref("m", "far"); };
  struct Case {
    const char* text;
    TamValueExp* (*left)();
    TamValueExp* (*right)();
    // eq, ne, lt, gt, le, ge
    bool expected[6];
  };
  const Case cases[] = {
      {"n vs 3", n, [] { return lit(3); }, {false, true, true, true, true, true}},
      {"n vs 5", n, [] { return lit(5); }, {true, true, true, false, true, true}},
      {"n vs 0", n, [] { return lit(0); }, {false, true, false, true, false, true}},
      {"3 vs n", [] { return lit(3); }, n, {false, true, true, true, true, true}},
      {"6 vs n", [] { return lit(6); }, n, {false, true, false, true, false, true}},
      {"1 vs k", [] { return lit(1); }, k, {false, true, true, false, true, false}},
      {"n vs k", n, k, {true, true, true, true, true, true}},
      {"n vs far", n, far, {false, true, true, false, true, false}},
      {"far vs n", far, n, {false, true, false, true, false, true}},
  };
  const BinaryMaker makers[] = {make<Eq>, make<Ne>, make<Lt>, make<Gt>, make<Le>, make<Ge>};
  for (const Case& c : cases) {
    for (int op = 0; op < 6; ++op) {
      std::unique_ptr<TamValueExp> exp(makers[op](c.left(), c.right()));
      SCOPED_TRACE(std::string(c.text) + ": " + exp->dump());
      ref_count_ptr<TamValue> result = exp->evaluate(*sos);
      ASSERT_EQ(result->type(), TamValue::VT_BOOL);
      EXPECT_EQ(result->boolValue(), c.expected[op]);
    }
  }
  std::unique_ptr<TamValueExp> reference(n());
  EXPECT_TRUE(reference->isMultiValued(*sos));
  std::vector<ref_count_ptr<TamValue>> values = reference->values(*sos);
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0]->intValue(), 1);
  EXPECT_EQ(values[1]->intValue(), 5);
  // A kind mismatch inside a pair fails as the value operators do.
  std::unique_ptr<TamValueExp> mismatch(make<Lt>(n(), lit("x")));
  EXPECT_EQ(codeOf([&] { mismatch->evaluate(*sos); }), 202);
}

TEST_F(ValueExpTest, LogicalConnectivesFollowTheUnsetRules) {
  using Make = TamValueExp* (*)();
  const Make T = [] { return lit(true); };
  const Make F = [] { return lit(false); };
  const Make U = [] { return unsetLit(); };
  const Make one = [] { return lit(1); };
  const Make text = [] { return lit("x"); };
  struct Case {
    BinaryMaker op;
    Make left;
    Make right;
    const char* expected;
  };
  const Case cases[] = {
      {make<TamOrValueExp>, T, T, "true"},   {make<TamOrValueExp>, T, F, "true"},
      {make<TamOrValueExp>, F, T, "true"},   {make<TamOrValueExp>, F, F, "false"},
      {make<TamOrValueExp>, T, U, "true"},   {make<TamOrValueExp>, U, T, "true"},
      {make<TamOrValueExp>, F, U, "***UNSET***"}, {make<TamOrValueExp>, U, F, "***UNSET***"},
      {make<TamOrValueExp>, U, U, "***UNSET***"}, {make<TamOrValueExp>, one, F, "false"},
      {make<TamOrValueExp>, text, U, "***UNSET***"}, {make<TamOrValueExp>, one, T, "true"},
      {make<TamAndValueExp>, T, T, "true"},  {make<TamAndValueExp>, T, F, "false"},
      {make<TamAndValueExp>, F, T, "false"}, {make<TamAndValueExp>, F, F, "false"},
      {make<TamAndValueExp>, T, U, "***UNSET***"}, {make<TamAndValueExp>, U, T, "***UNSET***"},
      {make<TamAndValueExp>, F, U, "***UNSET***"}, {make<TamAndValueExp>, U, F, "***UNSET***"},
      {make<TamAndValueExp>, U, U, "***UNSET***"}, {make<TamAndValueExp>, one, T, "false"},
      {make<TamAndValueExp>, T, text, "false"},
  };
  for (const Case& c : cases) {
    std::unique_ptr<TamValueExp> exp(c.op(c.left(), c.right()));
    SCOPED_TRACE(exp->dump());
    EXPECT_EQ(evalText(*exp), c.expected);
  }

  struct NotCase {
    Make operand;
    const char* expected;
  };
  const NotCase notCases[] = {
      {U, "***UNSET***"}, {T, "false"}, {F, "true"}, {[] { return lit(0); }, "true"},
      {text, "true"},     {[] { return lit(0.0); }, "true"},
  };
  for (const NotCase& c : notCases) {
    TamNotValueExp exp(c.operand());
    SCOPED_TRACE(exp.dump());
    EXPECT_EQ(evalText(exp), c.expected);
  }

  // Both operands are always evaluated, even when the left one decides.
  std::unique_ptr<TamValueExp> orTrue(make<TamOrValueExp>(lit(true), missingModuleRef()));
  std::unique_ptr<TamValueExp> andFalse(make<TamAndValueExp>(lit(false), missingModuleRef()));
  EXPECT_EQ(codeOf([&] { orTrue->evaluate(*sos); }), 302);
  EXPECT_EQ(codeOf([&] { andFalse->evaluate(*sos); }), 302);
}

TEST_F(ValueExpTest, ArithmeticTakesRightOperandFirst) {
  // 10 - 4 - 3 is (10 - 4) - 3.
  std::unique_ptr<TamValueExp> chain(
      make<TamMinusValueExp>(make<TamMinusValueExp>(lit(10), lit(4)), lit(3)));
  EXPECT_EQ(evalText(*chain), "3");
  EXPECT_EQ(chain->dump(), "minus(minus(10, 4), 3)");
  std::unique_ptr<TamValueExp> product(
      make<TamPlusValueExp>(lit(1), make<TamMultipliesValueExp>(ref("m", "a"), lit(2.0))));
  EXPECT_EQ(evalText(*product), "15.000000");
  EXPECT_EQ(product->dump(), "plus(1, multiplies(m:a, 2.000000))");

  struct Case {
    TamValueExp* exp;
    int code;
  };
  const Case cases[] = {
      // Right divides by zero (203), left mixes a string and a number (202): the right wins.
      {make<TamMinusValueExp>(make<TamPlusValueExp>(lit("ab"), lit(1)),
                              make<TamDividesValueExp>(lit(1), lit(0))),
       203},
      {make<TamPlusValueExp>(missingModuleRef(), make<TamDividesValueExp>(lit(1), lit(0))), 203},
      {make<TamPlusValueExp>(make<TamDividesValueExp>(lit(1), lit(0)), missingModuleRef()), 302},
      // Deeper in a chain: ((1 / 0) - x) - y fails at y before 1 / 0 is reached.
      {make<TamMinusValueExp>(
           make<TamMinusValueExp>(make<TamDividesValueExp>(lit(1), lit(0)), lit(1)),
           ref("m", "nosuch")),
       102},
  };
  for (const Case& c : cases) {
    std::unique_ptr<TamValueExp> exp(c.exp);
    SCOPED_TRACE(exp->dump());
    EXPECT_EQ(codeOf([&] { exp->evaluate(*sos); }), c.code);
  }
}

// Long operator chains are built by the parser without nesting; they must run, print and be
// destroyed without exhausting the stack.
TEST_F(ValueExpTest, LongOperatorChainsDoNotRecurse) {
  const int kTerms = 100000;
  TamValueExp* sum = lit(1);
  for (int i = 1; i < kTerms; ++i) sum = make<TamPlusValueExp>(sum, lit(1));
  std::unique_ptr<TamValueExp> sumOwner(sum);
  EXPECT_EQ(evalText(*sum), std::to_string(kTerms));
  const std::string sumDump = sum->dump();
  EXPECT_EQ(sumDump.compare(0, 15, "plus(plus(plus("), 0);
  EXPECT_EQ(sumDump.substr(sumDump.size() - 4), ", 1)");

  TamValueExp* either = lit(true);
  for (int i = 1; i < kTerms; ++i) either = make<TamOrValueExp>(lit(false), either);
  std::unique_ptr<TamValueExp> eitherOwner(either);
  EXPECT_EQ(evalText(*either), "true");
  TamValueExp* both = unsetLit();
  for (int i = 1; i < kTerms; ++i) both = make<TamAndValueExp>(lit(true), both);
  std::unique_ptr<TamValueExp> bothOwner(both);
  EXPECT_EQ(evalText(*both), "***UNSET***");
  EXPECT_EQ(both->dump().compare(0, 19, "and(true, and(true,"), 0);
}

TEST_F(ValueExpTest, DumpsNameEveryOperator) {
  struct Case {
    TamValueExp* exp;
    const char* dump;
  };
  const Case cases[] = {
      {make<Eq>(ref("m", "a"), lit(1)), "eq(m:a, 1)"},
      {make<Ne>(lit(1), lit(2)), "ne(1, 2)"},
      {make<Lt>(lit(1), lit(2)), "lt(1, 2)"},
      {make<Gt>(lit(1), lit(2)), "gt(1, 2)"},
      {make<Le>(lit(1), lit(2)), "le(1, 2)"},
      {make<Ge>(lit(1), lit(2)), "ge(1, 2)"},
      {make<TamDividesValueExp>(lit(1), lit(2)), "divides(1, 2)"},
      {make<TamOrValueExp>(make<TamAndValueExp>(make<Eq>(ref("m", "a"), lit(1)),
                                                new TamNotValueExp(make<Eq>(ref("m", "b"), lit(2)))),
                           ref("m", "c")),
       "or(and(eq(m:a, 1), not(eq(m:b, 2))), m:c)"},
      {make<TamAndValueExp>(lit(true), make<TamOrValueExp>(lit(false), unsetLit())),
       "and(true, or(false, unset))"},
  };
  for (const Case& c : cases) {
    std::unique_ptr<TamValueExp> exp(c.exp);
    EXPECT_EQ(exp->dump(), c.dump);
  }
}

}  // namespace
}  // namespace rulestest
