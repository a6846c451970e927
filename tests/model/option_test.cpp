// Options as a host meets them through module declarations: identity across re-declaration, base
// chains, constraints and defaults, ids, handle ordering and base chains that loop.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "ModelTestSupport.h"

// Reaches the operations the declaration parser calls, for failures that well-formed declarations
// never produce.
class TamOptionTestPeer {
 public:
  static void addValue(const ref_count_ptr<TamOption>& option,
                       const ref_count_ptr<TamOptionValue>& constraint) {
    option->addValue(constraint);
  }
  static void setDefaultValue(const ref_count_ptr<TamOption>& option,
                              const ref_count_ptr<TamValue>& value) {
    option->setDefaultValue(value);
  }
};

namespace tamtest {
namespace {

using OptionTest = ModelTest;
using Value = ref_count_ptr<TamValue>;

Value I(int v) { return TamValue::createInt(v); }

TEST_F(OptionTest, RedeclarationKeepsTheOptionAndRebuildsItsConstraints) {
  ref_count_ptr<TamModule> m = declare("m", {});
  ref_count_ptr<TamOption> size = m->addOptionString("public size integer = 1 to 4 default 2");
  const int id = size->id();
  EXPECT_EQ(size->defaultValue()->displayString(), "2");

  ref_count_ptr<TamOption> again = m->addOptionString("public size integer = 1 to 9");
  EXPECT_EQ(again.get(), size.get());
  EXPECT_EQ(again->id(), id);
  EXPECT_EQ(size->values().size(), 1u);
  EXPECT_TRUE(size->validateValue(I(9)));
  EXPECT_EQ(size->defaultValue()->type(), TamValue::VT_UNSET);

  TamException e = raised([&] { m->addOptionString("private size integer = 1 to 4"); });
  EXPECT_EQ(e.code(), 101);
  EXPECT_EQ(e.info(), "size");
  EXPECT_EQ(size->scope(), TamOption::SCOPE_PUBLIC);
  EXPECT_TRUE(size->validateValue(I(9)));
  EXPECT_EQ(m->askOptionRix("size"), "public size integer = 1 to 9");

  // A declared option may change its value type; it is the same option.
  ref_count_ptr<TamOption> logical = m->addOptionString("public size logical default true");
  EXPECT_EQ(logical.get(), size.get());
  EXPECT_EQ(size->valueType(), TamValue::VT_BOOL);
  EXPECT_FALSE(size->validateValue(I(1)));
}

TEST_F(OptionTest, KindOrScopeChangesAreRefused) {
  declare("x", {"public base integer"});
  ref_count_ptr<TamModule> m =
      declare("m", {"public d integer", "public p presents x:base", "public i implements x:base",
                    "public u uses x:base", "private q uses x:base"});
  struct Case {
    const char* declaration;
    const char* name;
  };
  const Case refused[] = {
      {"private d integer", "d"},          {"public d presents x:base", "d"},
      {"public p integer", "p"},           {"public p uses x:base", "p"},
      {"public i uses x:base", "i"},       {"private i implements x:base", "i"},
      {"public u implements x:base", "u"}, {"public q uses x:base", "q"},
  };
  for (const Case& c : refused) {
    SCOPED_TRACE(c.declaration);
    const int id = m->getOption(c.name)->id();
    TamException e = raised([&] { m->addOptionString(c.declaration); });
    EXPECT_EQ(e.code(), 101);
    EXPECT_EQ(e.info(), c.name);
    EXPECT_EQ(m->getOption(c.name)->id(), id);
  }
  const Case reused[] = {
      {"public p presents x:base [a]", "p"},
      {"public i implements x:base", "i"},
      {"private q uses x:base", "q"},
  };
  for (const Case& c : reused) {
    SCOPED_TRACE(c.declaration);
    const int id = m->getOption(c.name)->id();
    EXPECT_EQ(m->addOptionString(c.declaration)->id(), id);
  }
  EXPECT_EQ(m->getOption("p")->path().toDisplayString(), "a");
}

TEST_F(OptionTest, NonPublicBasesAreRefusedExceptInTestMode) {
  declare("x", {"private secret integer"});
  ref_count_ptr<TamModule> m = declare("m", {});
  struct Case {
    const char* declaration;
    int code;
  };
  const Case cases[] = {
      {"public p presents x:secret", 303},
      {"private u uses x:secret", 305},
      {"public i implements x:secret", 306},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.declaration);
    TamException e = raised([&] { m->addOptionString(c.declaration); });
    EXPECT_EQ(e.code(), c.code);
    EXPECT_EQ(e.info(), "");

    // In test mode the declaration is built afresh each time and nothing is stored.
    m->setTestOptions(true);
    ref_count_ptr<TamOption> first = m->addOptionString(c.declaration);
    EXPECT_NE(m->addOptionString(c.declaration)->id(), first->id());
    m->setTestOptions(false);
    EXPECT_EQ(raised([&] { m->getOption(first->name()); }).code(), 102);
    EXPECT_EQ(raised([&] { m->askOptionRix(first->name()); }).code(), 102);
  }
  EXPECT_TRUE(m->options().empty());
  EXPECT_TRUE(m->usingOptions().empty());
  EXPECT_FALSE(m->isModuleBoundary());
}

TEST_F(OptionTest, ConstraintsInheritLinkByLinkDefaultsFromTheRealOption) {
  ref_count_ptr<TamModule> x = declare("x", {"public base integer = 1 to 10 default 1"});
  ref_count_ptr<TamModule> y = declare("y", {"public mid implements x:base = 2 to 5 default 3"});
  ref_count_ptr<TamModule> z =
      declare("z", {"public top uses y:mid", "public pres presents x:base"});
  ref_count_ptr<TamOption> base = x->getOption("base");
  ref_count_ptr<TamOption> mid = y->getOption("mid");
  ref_count_ptr<TamOption> top = z->getOption("top");
  ref_count_ptr<TamOption> pres = z->getOption("pres");

  EXPECT_EQ(top->basedOn().get(), mid.get());
  EXPECT_EQ(top->realOption().get(), base.get());
  EXPECT_EQ(base->realOption().get(), base.get());
  EXPECT_FALSE(base->basedOn());
  EXPECT_EQ(top->valueType(), TamValue::VT_INT);
  ASSERT_EQ(top->values().size(), 1u);
  EXPECT_EQ(top->values()[0].get(), mid->values()[0].get());
  EXPECT_TRUE(top->validateValue(I(2)));
  EXPECT_FALSE(top->validateValue(I(6)));
  EXPECT_EQ(mid->defaultValue()->displayString(), "3");
  EXPECT_EQ(top->defaultValue()->displayString(), "1");
  EXPECT_EQ(z->usingOptions().size(), 1u);
  EXPECT_EQ(z->usingOptions()[0].get(), top.get());

  EXPECT_EQ(pres->type(), TamOption::TYPE_PRESENTS);
  EXPECT_EQ(pres->scope(), TamOption::SCOPE_PUBLIC);
  EXPECT_EQ(pres->values()[0].get(), base->values()[0].get());
  EXPECT_EQ(pres->defaultValue()->displayString(), "1");
  EXPECT_EQ(pres->basedOnModuleId(), "x");
  EXPECT_EQ(pres->basedOnName(), "base");
}

TEST_F(OptionTest, RereadPresentsStartsAgainFromItsBase) {
  declare("x", {"public base integer = 1 to 10 default 1"});
  ref_count_ptr<TamModule> y = declare("y", {});
  ref_count_ptr<TamOption> p = y->addOptionString("public p presents x:base [a.b] default 5");
  EXPECT_EQ(p->defaultValue()->displayString(), "5");
  EXPECT_EQ(p->path().toDisplayString(), "a.b");
  ref_count_ptr<TamOption> again = y->addOptionString("public p presents x:base");
  EXPECT_EQ(again.get(), p.get());
  EXPECT_EQ(p->defaultValue()->displayString(), "1");
  EXPECT_TRUE(p->path().isEmpty());
}

TEST_F(OptionTest, BasedOptionsMayOnlyNarrowTheirBase) {
  declare("x", {"public base integer = 1 to 10"});
  ref_count_ptr<TamModule> y = declare("y", {});
  TamException e = raised([&] { y->addOptionString("public i implements x:base = 2, 11"); });
  EXPECT_EQ(e.code(), 204);
  EXPECT_EQ(e.info(), "11");
  EXPECT_EQ(e.context(), "x:base");
  // The option was made and kept the constraint accepted before the failure; no text recorded.
  ref_count_ptr<TamOption> i = y->getOption("i");
  ASSERT_EQ(i->values().size(), 1u);
  EXPECT_TRUE(i->validateValue(I(2)));
  EXPECT_FALSE(i->validateValue(I(3)));
  EXPECT_EQ(raised([&] { y->askOptionRix("i"); }).code(), 102);

  ref_count_ptr<TamOption> j = y->addOptionString("public j implements x:base = 0 to 20");
  EXPECT_TRUE(j->validateValue(I(15)));
}

TEST_F(OptionTest, AddValueAndDefaultFailuresChangeNothing) {
  declare("x", {"public base integer = 1 to 10"});
  ref_count_ptr<TamModule> m =
      declare("m", {"public d integer = 1 to 4 default 2", "public i implements x:base"});
  ref_count_ptr<TamOption> d = m->getOption("d");
  ref_count_ptr<TamOption> i = m->getOption("i");
  ref_count_ptr<TamOptionValue> stringEnum = new TamOptionEnumValue(TamValue::createString("a"));

  struct Case {
    const char* name;
    std::function<void()> call;
    int code;
    const char* info;
    const char* context;
  };
  const Case cases[] = {
      {"mixed types", [&] { TamOptionTestPeer::addValue(d, stringEnum); }, 1,
       "Tried to mix value types in option m:d", ""},
      {"based wrong type", [&] { TamOptionTestPeer::addValue(i, stringEnum); }, 112, "", ""},
      {"based any kind", [&] { TamOptionTestPeer::addValue(i, new TamOptionAnyIntValue()); }, 2,
       "Asked for value of a non-value OptionValue", ""},
      {"based outside base", [&] { TamOptionTestPeer::addValue(i, new TamOptionMaxValue(I(0))); },
       204, "0", "x:base"},
      {"invalid default", [&] { TamOptionTestPeer::setDefaultValue(d, I(7)); }, 105, "7", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TamException e = raised(c.call);
    EXPECT_EQ(e.code(), c.code);
    EXPECT_EQ(e.info(), c.info);
    EXPECT_EQ(e.context(), c.context);
  }
  EXPECT_EQ(d->values().size(), 1u);
  EXPECT_EQ(d->valueType(), TamValue::VT_INT);
  EXPECT_EQ(d->defaultValue()->displayString(), "2");
  EXPECT_EQ(i->values().size(), 1u);
  EXPECT_EQ(i->values()[0].get(), window->getModule("x")->getOption("base")->values()[0].get());

  TamOptionTestPeer::setDefaultValue(d, TamValue::createUnset());
  EXPECT_EQ(d->defaultValue()->type(), TamValue::VT_UNSET);
}

TEST_F(OptionTest, ConstraintsCombineByAnyAccepts) {
  ref_count_ptr<TamModule> m =
      declare("m", {"public bounds integer = >= 0, <= 10", "public span integer = 0 to 10",
                    "public ratio real = >= 0", "public name string = \"x\" \"y\"",
                    "public flag logical", "public count integer"});
  m->declareLegacyOption("kept");
  struct Case {
    const char* option;
    Value value;
    bool valid;
  };
  const Case cases[] = {
      {"bounds", I(11), true},
      {"bounds", I(-5), true},
      {"bounds", TamValue::createUnset(), true},
      {"span", I(5), true},
      {"span", I(11), false},
      {"span", TamValue::createUnset(), true},
      {"ratio", I(2), true},
      {"ratio", TamValue::createReal(-0.5), false},
      {"name", TamValue::createString("y"), true},
      {"name", TamValue::createString("z"), false},
      {"flag", TamValue::createBool(false), true},
      {"flag", I(1), false},
      {"count", TamValue::createReal(1.5), true},
      {"kept", I(1), false},  // no constraints at all: only Unset
      {"kept", TamValue::createUnset(), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.option) + " " + c.value->displayString());
    EXPECT_EQ(m->getOption(c.option)->validateValue(c.value), c.valid);
  }
}

TEST_F(OptionTest, IdsFindLiveOptionsAndAreNeverReused) {
  ref_count_ptr<TamModule> m = declare("m", {"public gone integer"});
  const int id = m->getOption("gone")->id();
  EXPECT_EQ(TamOption::optionForId(id).get(), m->getOption("gone").get());

  m->deleteOption("gone");
  TamException e = raised([&] { TamOption::optionForId(id); });
  EXPECT_EQ(e.code(), 110);
  EXPECT_EQ(e.info(), "");

  ref_count_ptr<TamOption> again = m->addOptionString("public gone integer");
  EXPECT_GT(again->id(), id);
  EXPECT_EQ(raised([&] { TamOption::optionForId(id); }).code(), 110);
  EXPECT_EQ(raised([] { TamOption::optionForId(0); }).code(), 110);
}

TEST_F(OptionTest, HandlesOrderByCreation) {
  ref_count_ptr<TamModule> m =
      declare("m", {"public c integer", "public a integer", "public b integer"});
  const ref_count_ptr<TamOption> none;
  std::set<ref_count_ptr<TamOption>> ordered;
  for (const char* name : {"b", "a", "c"}) ordered.insert(m->getOption(name));
  ordered.insert(none);
  std::vector<std::string> names;
  for (const ref_count_ptr<TamOption>& option : ordered)
    names.push_back(option ? option->name() : "-");
  EXPECT_EQ(names, (std::vector<std::string>{"-", "c", "a", "b"}));
  EXPECT_TRUE(none < m->getOption("a"));
  EXPECT_FALSE(m->getOption("a") < none);
  EXPECT_FALSE(none < none);
}

TEST_F(OptionTest, ReferencesAreMatchedByName) {
  ref_count_ptr<TamModule> x = declare("x", {"public base integer", "public lone integer"});
  declare("y", {"public shown presents x:base"});
  declare("w", {"public b2 uses x:base", "public a1 implements x:base"});
  ref_count_ptr<TamOption> base = x->getOption("base");
  EXPECT_TRUE(base->isReferenced());
  EXPECT_FALSE(x->getOption("lone")->isReferenced());
  std::vector<std::string> names;
  for (const ref_count_ptr<TamOption>& option : base->references()) {
    names.push_back(option->moduleId() + ":" + option->name());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"w:a1", "w:b2", "y:shown"}));

  window->deleteModule("y");
  window->deleteModule("w");
  EXPECT_FALSE(base->isReferenced());
  EXPECT_TRUE(base->references().empty());
}

// Every walk down a looping chain raises 114 naming the option where it started.
void expectLoopAt(const ref_count_ptr<TamOption>& option, const std::string& where) {
  const std::string message = "Option base chain loops at " + where;
  const std::pair<const char*, std::function<void()>> walks[] = {
      {"realOption", [&] { option->realOption(); }},
      {"valueType", [&] { option->valueType(); }},
      {"values", [&] { option->values(); }},
      {"defaultValue", [&] { option->defaultValue(); }},
      {"validateValue", [&] { option->validateValue(I(1)); }},
  };
  for (const auto& walk : walks) {
    SCOPED_TRACE(walk.first);
    TamException e = raised(walk.second);
    EXPECT_EQ(e.code(), TamOption::kBaseChainLoopCode);
    EXPECT_EQ(e.code(), 114);
    EXPECT_EQ(e.info(), message);
  }
}

TEST_F(OptionTest, OptionPresentingItselfIsALoop) {
  ref_count_ptr<TamModule> m = declare("m", {"public a integer", "public b presents m:a"});
  ref_count_ptr<TamOption> b = m->getOption("b");
  ref_count_ptr<TamOption> same = m->addOptionString("public b presents m:b");
  EXPECT_EQ(same.get(), b.get());
  expectLoopAt(b, "m:b");
  EXPECT_EQ(raised([&] { m->addOptionString("public b presents m:b default 3"); }).code(), 114);

  // Naming a real base again mends the chain.
  m->addOptionString("public b presents m:a");
  EXPECT_EQ(b->realOption().get(), m->getOption("a").get());
}

TEST_F(OptionTest, ImplementingItselfFailsWhenAddingConstraints) {
  ref_count_ptr<TamModule> m = declare("m", {"public a integer", "public i implements m:a"});
  TamException e = raised([&] { m->addOptionString("public i implements m:i = 1"); });
  EXPECT_EQ(e.code(), 114);
  EXPECT_EQ(e.info(), "Option base chain loops at m:i");
}

TEST_F(OptionTest, CycleThroughTwoModulesIsALoop) {
  ref_count_ptr<TamModule> p = declare("p", {"public z integer", "public y presents p:z"});
  ref_count_ptr<TamModule> q = declare("q", {"public x presents p:y"});
  p->addOptionString("public y presents q:x");
  expectLoopAt(q->getOption("x"), "q:x");
  expectLoopAt(p->getOption("y"), "p:y");
}

TEST_F(OptionTest, ChainsLongerThanTheLimitAreRefused) {
  ref_count_ptr<TamModule> m = declare("m", {"public o0 integer default 4"});
  for (int k = 1; k <= TamOption::kMaxBaseChain + 1; ++k) {
    m->addOptionString("public o" + std::to_string(k) + " presents m:o" + std::to_string(k - 1));
  }
  ref_count_ptr<TamOption> longest = m->getOption("o" + std::to_string(TamOption::kMaxBaseChain));
  EXPECT_EQ(longest->realOption().get(), m->getOption("o0").get());
  EXPECT_EQ(longest->defaultValue()->displayString(), "4");
  const std::string tooLong = "o" + std::to_string(TamOption::kMaxBaseChain + 1);
  EXPECT_EQ(raised([&] { m->getOption(tooLong)->realOption(); }).info(),
            "Option base chain loops at m:" + tooLong);
}

}  // namespace
}  // namespace tamtest
