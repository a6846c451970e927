// Options as a host meets them through module declarations: identity across re-declaration, base
// chains, constraints and defaults, ids, handle ordering and base chains that loop.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "ModelTestSupport.h"

// Reaches the operations the declaration parser calls, for failures its own checks never let
// through.
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

// The option a declaration names (all names here are one letter).
std::string nameIn(const std::string& declaration) {
  return declaration.substr(declaration.find(' ') + 1, 1);
}

// Each declaration is read into module m in turn: it reuses the option of its name (same id,
// constraints rebuilt, new text) or is refused with 101, leaving the option as it was.
TEST_F(OptionTest, RedeclarationKeepsTheOptionUnlessItChangesKindOrScope) {
  declare("x", {"public base integer"});
  ref_count_ptr<TamModule> m =
      declare("m", {"public d integer = 1 to 4 default 2", "public p presents x:base",
                    "public i implements x:base", "private u uses x:base"});
  const std::pair<const char*, const char*> cases[] = {
      {"public d integer = 1 to 9", "none"},     {"private d integer", "101 d"},
      {"public d logical default true", "none"}, {"public p integer", "101 p"},
      {"public p uses x:base", "101 p"},         {"public p presents x:base [a]", "none"},
      {"private i implements x:base", "101 i"},  {"public u uses x:base", "101 u"},
      {"private u uses x:base", "none"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    const std::string name = nameIn(c.first);
    const int id = m->getOption(name)->id();
    const std::string before = m->askOptionRix(name);
    EXPECT_EQ(failure([&] { m->addOptionString(c.first); }), c.second);
    EXPECT_EQ(m->getOption(name)->id(), id);
    EXPECT_EQ(m->askOptionRix(name), std::string(c.second) == "none" ? c.first : before);
  }
  // A declared option may change its value type.
  EXPECT_FALSE(m->getOption("d")->validateValue(I(1)));
  EXPECT_EQ(m->getOption("p")->path().toDisplayString(), "a");
}

TEST_F(OptionTest, NonPublicBasesAreRefusedExceptInTestMode) {
  declare("x", {"private secret integer"});
  ref_count_ptr<TamModule> m = window->createModule("m");
  const std::pair<const char*, const char*> cases[] = {
      {"public p presents x:secret", "303"},
      {"private u uses x:secret", "305"},
      {"public i implements x:secret", "306"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    EXPECT_EQ(failure([&] { m->addOptionString(c.first); }), c.second);
    // In test mode the declaration is built afresh each time and nothing is stored.
    m->setTestOptions(true);
    const int first = m->addOptionString(c.first)->id();
    EXPECT_NE(m->addOptionString(c.first)->id(), first);
    m->setTestOptions(false);
  }
  EXPECT_EQ(names(m->options()) + "|" + names(m->usingOptions()), "|");
  EXPECT_FALSE(m->isModuleBoundary());
}

// Constraints are inherited link by link; a default is the option's own or else that of the real
// option at the end of the chain.
TEST_F(OptionTest, BasedOptionsInheritConstraintsAndDefaults) {
  ref_count_ptr<TamModule> x = declare("x", {"public base integer = 1 to 10 default 1"});
  ref_count_ptr<TamModule> y = declare("y", {"public mid implements x:base = 2 to 5 default 3"});
  ref_count_ptr<TamModule> z = declare("z", {"public top uses y:mid"});
  ref_count_ptr<TamOption> base = x->getOption("base");
  ref_count_ptr<TamOption> top = z->getOption("top");
  EXPECT_EQ(top->basedOn().get(), y->getOption("mid").get());
  EXPECT_EQ(top->realOption().get(), base.get());
  EXPECT_EQ(top->valueType(), TamValue::VT_INT);
  EXPECT_FALSE(top->validateValue(I(6)));
  EXPECT_EQ(top->defaultValue()->displayString(), "1");

  // Reading a presents declaration again starts from its base once more.
  ref_count_ptr<TamOption> p = z->addOptionString("public p presents x:base [a.b] default 5");
  EXPECT_EQ(p->defaultValue()->displayString() + " " + p->path().toDisplayString(), "5 a.b");
  EXPECT_EQ(z->addOptionString("public p presents x:base").get(), p.get());
  EXPECT_EQ(p->defaultValue()->displayString(), "1");
  EXPECT_TRUE(p->path().isEmpty());
  EXPECT_EQ(p->values(), base->values());
}

// Failing constraints and defaults change nothing; a declaration that fails keeps its option
// with what was accepted before the failure, and records no text. A based option may only narrow
// its base, except by a range.
TEST_F(OptionTest, FailingConstraintsAndDefaultsKeepWhatCameBefore) {
  declare("x", {"public base integer = 1 to 10"});
  ref_count_ptr<TamModule> m =
      declare("m", {"public d integer = 1 to 4 default 2", "public i implements x:base"});
  ref_count_ptr<TamOption> d = m->getOption("d");
  ref_count_ptr<TamOption> i = m->getOption("i");
  const ref_count_ptr<TamOptionValue> text = new TamOptionEnumValue(TamValue::createString("a"));
  using Peer = TamOptionTestPeer;
  const std::pair<std::function<void()>, const char*> cases[] = {
      {[&] { Peer::addValue(d, text); }, "1 Tried to mix value types in option m:d"},
      {[&] { Peer::addValue(i, text); }, "112"},
      {[&] { Peer::addValue(i, new TamOptionAnyIntValue()); },
       "2 Asked for value of a non-value OptionValue"},
      {[&] { Peer::addValue(i, new TamOptionMaxValue(I(0))); }, "204 0 @x:base"},
      {[&] { Peer::setDefaultValue(d, I(7)); }, "105 7"},
      {[&] { m->addOptionString("public j implements x:base = 2, 11"); }, "204 11 @x:base"},
  };
  for (const auto& c : cases) EXPECT_EQ(failure(c.first), c.second);
  EXPECT_EQ(d->values().size(), 1u);
  EXPECT_EQ(d->valueType(), TamValue::VT_INT);
  EXPECT_EQ(d->defaultValue()->displayString(), "2");
  EXPECT_EQ(i->values(), window->getModule("x")->getOption("base")->values());
  EXPECT_EQ(m->getOption("j")->values().size(), 1u);
  EXPECT_EQ(failure([&] { m->askOptionRix("j"); }), "102 j");
  EXPECT_TRUE(m->addOptionString("public k implements x:base = 0 to 20")->validateValue(I(15)));
}

// Unset is always valid; otherwise the first constraint that accepts decides, so separate bounds
// widen where a range narrows, and an option without constraints takes only Unset.
TEST_F(OptionTest, ConstraintsCombineByAnyAccepts) {
  ref_count_ptr<TamModule> m =
      declare("m", {"public bounds integer = >= 0, <= 10", "public span integer = 0 to 10"});
  m->declareLegacyOption("kept");
  auto accepted = [&](const char* name) {
    std::vector<std::string> values;
    for (const Value& v : {I(-5), I(10), I(11), TamValue::createUnset()}) {
      if (m->getOption(name)->validateValue(v)) values.push_back(v->displayString());
    }
    return joined(values);
  };
  EXPECT_EQ(accepted("bounds"), "-5 10 11 ***UNSET***");
  EXPECT_EQ(accepted("span"), "10 ***UNSET***");
  EXPECT_EQ(accepted("kept"), "***UNSET***");
}

TEST_F(OptionTest, IdsAreNeverReusedAndHandlesOrderByThem) {
  ref_count_ptr<TamModule> m = declare("m", {"public c integer", "public a integer"});
  const int id = m->getOption("c")->id();
  EXPECT_EQ(TamOption::optionForId(id).get(), m->getOption("c").get());
  m->deleteOption("c");
  EXPECT_EQ(failure([&] { TamOption::optionForId(id); }), "110");
  m->addOptionString("public c integer");
  EXPECT_GT(m->getOption("c")->id(), id);
  const std::set<ref_count_ptr<TamOption>> ordered = {m->getOption("c"), m->getOption("a")};
  EXPECT_EQ(names(ordered), "a c");
  EXPECT_TRUE(ref_count_ptr<TamOption>() < m->getOption("a"));
}

// Every walk down a looping chain raises 114 naming the option where it started.
void expectLoopAt(const ref_count_ptr<TamOption>& option, const std::string& where) {
  const std::function<void()> walks[] = {
      [&] { option->realOption(); }, [&] { option->valueType(); }, [&] { option->values(); },
      [&] { option->defaultValue(); }, [&] { option->validateValue(I(1)); }};
  for (const auto& walk : walks) {
    EXPECT_EQ(failure(walk), "114 Option base chain loops at " + where);
  }
}

TEST_F(OptionTest, BaseChainsThatLoopAreRefused) {
  ref_count_ptr<TamModule> m =
      declare("m", {"public a integer", "public b presents m:a", "public i implements m:a"});
  ref_count_ptr<TamOption> b = m->getOption("b");
  EXPECT_EQ(m->addOptionString("public b presents m:b").get(), b.get());
  expectLoopAt(b, "m:b");
  EXPECT_EQ(failure([&] { m->addOptionString("public i implements m:i = 1"); }),
            "114 Option base chain loops at m:i");
  // Naming a real base again mends the chain.
  m->addOptionString("public b presents m:a");
  EXPECT_EQ(b->realOption().get(), m->getOption("a").get());

  // A cycle through two modules.
  ref_count_ptr<TamModule> q = declare("q", {"public x presents m:b"});
  m->addOptionString("public b presents q:x");
  expectLoopAt(q->getOption("x"), "q:x");
  expectLoopAt(b, "m:b");

  // A chain longer than the limit is refused as too long.
  ref_count_ptr<TamModule> c = declare("c", {"public o0 integer default 4"});
  std::string last;
  for (int k = 1; k <= TamOption::kMaxBaseChain + 1; ++k) {
    last = "o" + std::to_string(k);
    c->addOptionString("public " + last + " presents c:o" + std::to_string(k - 1));
  }
  const std::string longest = "o" + std::to_string(TamOption::kMaxBaseChain);
  EXPECT_EQ(c->getOption(longest)->defaultValue()->displayString(), "4");
  EXPECT_EQ(failure([&] { c->getOption(last)->realOption(); }),
            "114 Option base chain too long (more than " +
                std::to_string(TamOption::kMaxBaseChain) + " links) at c:" + last);
}

}  // namespace
}  // namespace tamtest
