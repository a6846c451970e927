// A host that misbehaves in every way its callbacks can: each adapter operation and node hook
// throws a TamException, throws a std::exception, refuses, or calls back into the library. The
// exception must reach the host's call unchanged, nothing may leak, and the window must give the
// right result afterwards; re-entry that cannot be made safe is refused with a clear TamException.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "TestHost.h"
#include "tam/libtam.h"

namespace {

enum class Hook {
  kNone,
  kLoadModule,
  kRefreshModule,
  kUserMsg,
  kOverride,
  kGetLegacy,
  kSetLegacy,
  kLocalize,
  kStateChanged,
  kLegacyExpressions,
  kLegacyConditionExists,
  kLegacyCondition,
  kLegacyErrorChecks,
  kForcedState,
  kChildren,
};

enum class Act { kThrowTam, kThrowStd, kRefuse, kCall };

constexpr int kHostCode = 901;

// One planned misbehaviour: at the first call of `hook`, do `act` (kCall runs `call`).
struct Hostility {
  Hook hook = Hook::kNone;
  Act act = Act::kRefuse;
  std::function<void()> call;
  int strikes = 0;
};

// Returns true when the hook is to refuse; throws when it is to throw.
bool strike(Hostility& h, Hook hook) {
  if (h.hook != hook || h.strikes > 0) return false;
  ++h.strikes;
  switch (h.act) {
    case Act::kThrowTam:
      throw TamException(kHostCode, "hostile host", "context", "extra");
    case Act::kThrowStd:
      throw std::runtime_error("hostile host");
    case Act::kCall:
      h.call();
      return false;
    case Act::kRefuse:
      return true;
  }
  return false;
}

class HostileAdapter : public tamtest::TestAdapter {
 public:
  // Declares the car's legacy options before its text, as a host keeping them does.
  bool loadModule(TamWindow* window, const std::string& id) override {
    if (strike(plan, Hook::kLoadModule)) return false;
    if (id == "car" && texts.count(id) != 0) {
      ref_count_ptr<TamModule> car = window->createModule(id);
      car->declareLegacyOption("serial");
      car->declareLegacyOption("plate");
      car->setRixData(texts[id]);
      return true;
    }
    return TestAdapter::loadModule(window, id);
  }
  bool refreshModule(TamWindow* window, ref_count_ptr<TamModule> module) override {
    if (strike(plan, Hook::kRefreshModule)) return false;
    return TestAdapter::refreshModule(window, module);
  }
  bool userMsg(TamWindow* window, Tam::MsgSeverity severity, const std::string& message,
               TamNode* node) override {
    if (strike(plan, Hook::kUserMsg)) return false;
    return TestAdapter::userMsg(window, severity, message, node);
  }
  bool allowOptionOverride(const TamSelOptionSet::TamSosEntry& existing, const TamNode* node,
                           TamSelOptionSet::HowSet howSet) override {
    if (strike(plan, Hook::kOverride)) return false;
    return TestAdapter::allowOptionOverride(existing, node, howSet);
  }
  ref_count_ptr<TamValue> getLegacyOptionValue(TamWindow* window,
                                               const ref_count_ptr<TamOption>& option) override {
    if (strike(plan, Hook::kGetLegacy)) return ref_count_ptr<TamValue>();  // null
    return TestAdapter::getLegacyOptionValue(window, option);
  }
  void setLegacyOptionValue(TamWindow* window, const ref_count_ptr<TamOption>& option,
                            const ref_count_ptr<TamValue>& value) override {
    if (strike(plan, Hook::kSetLegacy)) return;
    TestAdapter::setLegacyOptionValue(window, option, value);
  }
  std::string localizeString(const std::string& text) override {
    if (strike(plan, Hook::kLocalize)) return std::string();
    return TestAdapter::localizeString(text);
  }

  Hostility plan;
};

class HostileNode;

class HostileIterator : public TamNodeIterator {
 public:
  explicit HostileIterator(const std::vector<HostileNode*>& kids) : kids_(kids) {}
  bool more() override { return index_ < kids_.size(); }
  TamNode* current() override;
  void next() override { ++index_; }

 private:
  const std::vector<HostileNode*>& kids_;
  size_t index_ = 0;
};

// A node whose hooks follow the adapter's plan. Nodes are owned by the test's tree.
class HostileNode : public TamNode {
 public:
  HostileNode(const ref_count_ptr<TamWindow>& window, Hostility& plan, const std::string& id,
              const std::string& moduleId, HostileNode* parent)
      : TamNode(window), plan_(plan), id_(id), moduleId_(moduleId), parent_(parent) {}

  TamNode* parent() override { return parent_; }
  TamNodeIterator* children() override {
    if (strike(plan_, Hook::kChildren)) return nullptr;
    return new HostileIterator(kids);
  }
  bool hasModule() override { return !moduleId_.empty(); }
  std::string moduleId() override { return moduleId_; }
  std::string pathId() override { return id_; }
  void stateChanged(ConfigState) override { strike(plan_, Hook::kStateChanged); }
  void evaluateLegacyExpressions() override { strike(plan_, Hook::kLegacyExpressions); }
  // A legacy condition exists while its evaluation is the hook planned to misbehave.
  bool legacyConditionExists() override {
    return strike(plan_, Hook::kLegacyConditionExists) || plan_.hook == Hook::kLegacyCondition;
  }
  ConfigState evaluateLegacyCondition() override {
    strike(plan_, Hook::kLegacyCondition);
    return CS_UNDECIDED;
  }
  void evaluateLegacyErrorChecks() override { strike(plan_, Hook::kLegacyErrorChecks); }
  ConfigState forcedConfigState() override {
    strike(plan_, Hook::kForcedState);
    return CS_UNDECIDED;
  }

  std::vector<HostileNode*> kids;

 private:
  Hostility& plan_;
  std::string id_;
  std::string moduleId_;
  HostileNode* parent_;
};

TamNode* HostileIterator::current() { return kids_[index_]; }

const char kCar[] =
    "module car\n"
    "interface start\n"
    "public doors integer = 2 to 5 default 3\n"
    "public trim string = \"base\" \"sport\" default \"base\"\n"
    "interface end\n"
    "set car:doors to 4\n"
    "if car:serial = \"A-1\" then set car:trim to \"sport\" endif\n"
    "set car:plate to \"P-\" + car:trim\n"
    "inform \"trim \" + car:trim\n";
const char kWheel[] =
    "module wheel\n"
    "interface start\n"
    "public doors uses car:doors\n"
    "public size integer = 15 to 19 default 16\n"
    "interface end\n"
    "if wheel:doors > 3 then set wheel:size to 18 endif\n"
    "warn \"wheel checked\"\n";
const char kTrailer[] =
    "module trailer\n"
    "interface start\n"
    "public load integer default 750\n"
    "interface end\n";
// A module of no use to others, for long chains of nodes.
const char kLink[] =
    "module link\n"
    "interface start\n"
    "public size integer default 16\n"
    "interface end\n"
    "set link:size to 17\n";

// The tree: car -> {front (wheel, load-if), rear (wheel)}; the car's doors set by the host, so
// the rule that sets them asks the host's override decision.
struct Product {
  explicit Product(HostileAdapter& adapter) : window(Tam::createWindow()), plan(adapter.plan) {
    adapter.addModuleText("car", kCar);
    adapter.addModuleText("wheel", kWheel);
    adapter.addModuleText("trailer", kTrailer);
    adapter.addModuleText("link", kLink);
    adapter.legacyValues["car:serial"] = {TamValue::createString("A-1")};
    root = node("car", "car", nullptr);
    front = node("front", "wheel", root);
    rear = node("rear", "wheel", root);
  }

  HostileNode* node(const std::string& id, const std::string& moduleId, HostileNode* parent) {
    nodes.push_back(std::make_unique<HostileNode>(window, plan, id, moduleId, parent));
    if (parent != nullptr) parent->kids.push_back(nodes.back().get());
    return nodes.back().get();
  }

  // Loads the modules as the host's choices need them, tries a malformed condition (which asks
  // for a localised message), sets the conditions and the host's values, and queues a refresh.
  void build() {
    ref_count_ptr<TamModule> car = window->getModule("car");
    try {
      front->setLoadIf("car:doors >");
    } catch (const TamSyntaxError&) {
    }
    front->setLoadIf("car:doors > 2");
    TamSelOptionSet chosen(window);
    chosen.set({car->getOption("doors"), TamPath(), {TamValue::createInt(5)},
                {TamSelOptionSet::HOWSET_HOST}});
    root->setSos(chosen);
    window->setRoot(root);
    window->getModule("wheel");
    window->moduleNeedsRefresh("wheel");
  }

  // Every node's state and selected values.
  std::string digest() const {
    std::string out;
    for (const auto& n : nodes) {
      out += n->pathId() + ":" + std::to_string(n->isNodeConfigured());
      for (const auto& item : n->getSos().contents()) {
        out += " " + item.second.option->name() + "=";
        for (const auto& v : item.second.values) out += v->displayString() + ",";
      }
      out += "\n";
    }
    return out;
  }

  ref_count_ptr<TamWindow> window;
  Hostility& plan;
  std::vector<std::unique_ptr<HostileNode>> nodes;
  HostileNode* root;
  HostileNode* front;
  HostileNode* rear;
};

// What a call raised: "tam <code> <info>|<context>|<extrainfo2>", "std <what>", or "none".
template <class Call>
std::string raised(Call call) {
  try {
    call();
  } catch (const TamException& e) {
    return "tam " + std::to_string(e.code()) + " " + e.info() + "|" + e.context() + "|" +
           e.extrainfo2();
  } catch (const std::exception& e) {
    return std::string("std ") + e.what();
  }
  return "none";
}

// The result of a host that behaves.
std::string referenceDigest() {
  HostileAdapter adapter;
  Product product(adapter);
  product.build();
  product.window->evaluate(true);
  return product.digest();
}

class HostileHostTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(raised([&] { reference = referenceDigest(); }), "none"); }
  std::string reference;
};

TEST_F(HostileHostTest, ExceptionsFromEveryCallbackReachTheHostUnchanged) {
  const Hook hooks[] = {Hook::kLoadModule,        Hook::kRefreshModule,
                        Hook::kUserMsg,           Hook::kOverride,
                        Hook::kGetLegacy,         Hook::kSetLegacy,
                        Hook::kLocalize,          Hook::kStateChanged,
                        Hook::kLegacyExpressions, Hook::kLegacyConditionExists,
                        Hook::kLegacyCondition,   Hook::kLegacyErrorChecks,
                        Hook::kForcedState,       Hook::kChildren};
  const Act acts[] = {Act::kThrowTam, Act::kThrowStd};
  ASSERT_NE(reference.find("front:2"), std::string::npos);
  for (const Hook hook : hooks) {
    for (const Act act : acts) {
      SCOPED_TRACE(testing::Message() << "hook " << static_cast<int>(hook) << " act "
                                      << static_cast<int>(act));
      const int32_t liveBefore = ref_count::liveObjects();
      {
        HostileAdapter adapter;
        Product product(adapter);
        adapter.plan.hook = hook;
        adapter.plan.act = act;
        const std::string got = raised([&] {
          product.build();
          product.window->evaluate(true);
        });
        // The library stamps the node (and a rule's line) into a TamException, as it does into
        // its own; the code and the texts stay the host's.
        EXPECT_EQ(got, act == Act::kThrowTam ? "tam 901 hostile host|context|extra"
                                             : "std hostile host");
        EXPECT_EQ(adapter.plan.strikes, 1);
        // The host calls again as a host would: whatever was not built is built now.
        adapter.plan.hook = Hook::kNone;
        if (product.window->askRoot() == nullptr) product.build();
        product.window->evaluate(true);
        EXPECT_EQ(product.digest(), reference);
      }
      EXPECT_EQ(ref_count::liveObjects(), liveBefore);
    }
  }
}

TEST_F(HostileHostTest, RefusalsHaveTheirDocumentedEffect) {
  struct Case {
    Hook hook;
    const char* raised;  // what the first evaluation raises
    const char* trim;    // the car's trim after it
  };
  const Case cases[] = {
      // The first module asked for is the car: 302 names it, and nothing is evaluated.
      {Hook::kLoadModule, "tam 302 car||", "base"},
      // A refused refresh deletes the module; the next lookup loads it again.
      {Hook::kRefreshModule, "none", "sport"},
      // The refusal stops the car's rules: the node keeps the set it had.
      {Hook::kUserMsg, "tam 500 ||", "base"},
      {Hook::kOverride, "none", "sport"},
      // A null legacy value reads as Unset: the condition on the serial number is undecided.
      {Hook::kGetLegacy, "none", "base"},
      {Hook::kSetLegacy, "none", "sport"},
      // An empty localised text makes an empty message; the condition is refused all the same.
      {Hook::kLocalize, "none", "sport"},
      // No child iterator: the children are not evaluated this time.
      {Hook::kChildren, "none", "sport"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.hook));
    HostileAdapter adapter;
    Product product(adapter);
    adapter.plan.hook = c.hook;
    adapter.plan.act = Act::kRefuse;
    EXPECT_EQ(raised([&] {
                product.build();
                product.window->evaluate(true);
              }),
              c.raised);
    EXPECT_EQ(adapter.plan.strikes, 1);
    if (product.window->askRoot() == nullptr) product.build();
    const std::string trim = tamtest::valueText(
        product.root->getSos(), product.window->getModule("car")->getOption("trim"));
    EXPECT_EQ(trim, c.trim);
    product.window->evaluate(true);
    EXPECT_EQ(product.digest(), reference);
  }
}

TEST_F(HostileHostTest, ReentryIsSafeOrRefusedClearly) {
  struct Case {
    const char* what;
    Hook hook;
    std::function<void(Product&, HostileAdapter&)> reenter;
    const char* raised;
    // A module whose text read the refusal cut short: it keeps what was read, so the host
    // deletes it before it tries again.
    const char* halfRead = "";
  };
  const Case cases[] = {
      {"loadModule asks for the module it is loading", Hook::kLoadModule,
       [](Product& p, HostileAdapter&) { p.window->getModule("car"); },
       "tam 2 Module 'car' is asked for again while the host is loading it||"},
      // The wheel's declarations name the car, which is being loaded: refused as above.
      {"loadModule loads a module that needs the one being loaded", Hook::kLoadModule,
       [](Product& p, HostileAdapter&) { p.window->getModule("wheel"); },
       "tam 2 Module 'car' is asked for again while the host is loading it||", "wheel"},
      {"loadModule loads another module first", Hook::kLoadModule,
       [](Product& p, HostileAdapter&) { p.window->getModule("trailer"); }, "none"},
      {"refreshModule loads another module", Hook::kRefreshModule,
       [](Product& p, HostileAdapter&) { p.window->getModule("trailer"); }, "none"},
      {"refreshModule queues its module again and looks a module up", Hook::kRefreshModule,
       [](Product& p, HostileAdapter&) {
         p.window->moduleNeedsRefresh("wheel");
         p.window->getModule("car");
       },
       "tam 2 Module 'wheel' is queued for refresh while the host is loading or refreshing it||"},
      {"stateChanged evaluates the window", Hook::kStateChanged,
       [](Product& p, HostileAdapter&) { p.window->evaluate(true); },
       "tam 2 The window is evaluated again while it is being evaluated||"},
      {"userMsg deletes the module whose rules run", Hook::kUserMsg,
       [](Product& p, HostileAdapter&) { p.window->deleteModule("car"); }, "none"},
      {"the override decision rebinds the node being evaluated", Hook::kOverride,
       [](Product& p, HostileAdapter&) {
         p.root->getSos();
         p.rear->getSos();
       },
       "none"},
      {"the override decision replaces the host's values", Hook::kOverride,
       [](Product& p, HostileAdapter&) { p.root->clearSos(); }, "none"},
      {"a legacy read reads the module's text again", Hook::kGetLegacy,
       [](Product& p, HostileAdapter& a) {
         p.window->getModule("car")->setRixData(a.texts["car"]);
       },
       "none"},
      {"the children hook validates the tree", Hook::kChildren,
       [](Product& p, HostileAdapter&) {
         TamValidator validator;
         validator.validateNode(p.root, true);
       },
       "none"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const int32_t liveBefore = ref_count::liveObjects();
    {
      HostileAdapter adapter;
      Product product(adapter);
      adapter.plan.hook = c.hook;
      adapter.plan.act = Act::kCall;
      adapter.plan.call = [&] { c.reenter(product, adapter); };
      EXPECT_EQ(raised([&] {
                  product.build();
                  product.window->evaluate(true);
                }),
                c.raised);
      EXPECT_EQ(adapter.plan.strikes, 1);
      // The host builds its tree again (the car module may be a new one by now).
      adapter.plan.hook = Hook::kNone;
      product.window->deleteModule(c.halfRead);
      product.build();
      product.window->evaluate(true);
      EXPECT_EQ(product.digest(), reference);
    }
    EXPECT_EQ(ref_count::liveObjects(), liveBefore);
  }
}

TEST_F(HostileHostTest, TheWindowOutlivesCallbacksThatDropTheLastHandle) {
  const Hook hooks[] = {Hook::kUserMsg, Hook::kOverride, Hook::kLoadModule, Hook::kStateChanged,
                        Hook::kGetLegacy};
  for (const Hook hook : hooks) {
    SCOPED_TRACE(static_cast<int>(hook));
    const int32_t liveBefore = ref_count::liveObjects();
    {
      HostileAdapter adapter;
      auto product = std::make_unique<Product>(adapter);
      TamWindow* window = product->window.get();
      product->build();
      adapter.plan.hook = hook;
      adapter.plan.act = Act::kCall;
      adapter.plan.call = [&] { product->window = ref_count_ptr<TamWindow>(); };
      if (hook == Hook::kLoadModule) window->deleteModule("wheel");
      window->evaluate(true);  // through a plain pointer: the host holds no handle any more
      EXPECT_EQ(adapter.plan.strikes, 1);
      EXPECT_TRUE(product->window.isNull());
    }
    EXPECT_EQ(ref_count::liveObjects(), liveBefore);
  }
}

TEST_F(HostileHostTest, TreesThatLoopOrNestTooDeepAreRefused) {
  HostileAdapter adapter;
  Product product(adapter);
  product.build();
  const std::string tooDeep = "tam 2 Node tree deeper than " +
                              std::to_string(TamNode::kMaxTreeDepth) +
                              " levels, or looping, at node ";
  // A child listed among its own descendants: evaluation and validation go round.
  product.rear->kids.push_back(product.root);
  EXPECT_EQ(raised([&] { product.window->evaluate(true); }), tooDeep + "'car'||");
  TamValidator validator;
  EXPECT_EQ(raised([&] { validator.validateNode(product.root, true); }), tooDeep + "'car'||");
  product.rear->kids.clear();
  TamValidator before;
  before.validateNode(product.root, true);  // the legacy options are no visible options

  // A chain exactly as deep as the limit works; one more level is refused.
  HostileNode* last = product.rear;
  for (int depth = 3; depth <= TamNode::kMaxTreeDepth; ++depth) {
    last = product.node("n" + std::to_string(depth), "link", last);
  }
  product.window->evaluate(true);
  EXPECT_EQ(last->isNodeConfigured(), TamNode::CS_UNDECIDED);
  EXPECT_EQ(tamtest::valueText(last->getSos(),
                               product.window->getModule("link")->getOption("size")),
            "17");
  TamValidator deep;
  deep.validateNode(product.root, true);
  EXPECT_EQ(deep.errors().size(), before.errors().size());
  product.node("beyond", "link", last);
  EXPECT_EQ(raised([&] { product.window->evaluate(true); }), tooDeep + "'beyond'||");
  EXPECT_EQ(raised([&] { validator.validateNode(product.root, true); }), tooDeep + "'beyond'||");
}

TEST_F(HostileHostTest, ModuleLoadsNestOnlySoDeep) {
  // Module m<k> uses an option of m<k+1>: loading m0 loads them all, one inside the other.
  auto chainOf = [](int length) {
    HostileAdapter* adapter = new HostileAdapter();
    for (int k = 0; k < length; ++k) {
      std::string text = "module m" + std::to_string(k) + "\ninterface start\n";
      if (k + 1 < length) {
        text += "public up uses m" + std::to_string(k + 1) + ":up\n";
      } else {
        text += "public up integer default 7\n";
      }
      adapter->addModuleText("m" + std::to_string(k), text + "interface end\n");
    }
    return std::unique_ptr<HostileAdapter>(adapter);
  };
  {
    auto adapter = chainOf(TamWindow::kMaxNestedModuleCalls);
    ref_count_ptr<TamWindow> window = Tam::createWindow();
    EXPECT_EQ(window->getModule("m0")->getOption("up")->defaultValue()->displayString(), "7");
  }
  auto adapter = chainOf(TamWindow::kMaxNestedModuleCalls + 1);
  ref_count_ptr<TamWindow> window = Tam::createWindow();
  EXPECT_EQ(raised([&] { window->getModule("m0"); }),
            "tam 2 Module loads and refreshes nest more than " +
                std::to_string(TamWindow::kMaxNestedModuleCalls) + " deep at module 'm" +
                std::to_string(TamWindow::kMaxNestedModuleCalls) + "'||");
}

}  // namespace
