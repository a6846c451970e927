// A small vehicle product of five modules, evaluated as a host would: presented values reach the
// engine at its position, the gearbox uses the engine's size, load-if conditions switch optional
// parts, messages reach the host and mutually exclusive rules guard the choices. After a host
// value changes, evaluating again gives the new product.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "EvalHost.h"

namespace {

using evaltest::entry;
using tamtest::TestNode;
using CS = TamNode::ConfigState;

class ProductTest : public evaltest::EvalTest {
 protected:
  void SetUp() override {
    addModule("vehicle",
              {"public body string = \"sedan\" \"wagon\" default \"sedan\"",
               "public extras string non_mutually_exclusive = \"tow\" \"roof\" \"sun\"",
               "public enginesize presents engine:size [front.engine]"},
              "if vehicle:body = \"wagon\" then\n"
              "  set vehicle:extras to \"roof\"\n"
              "  set vehicle:enginesize to 4\n"
              "else\n"
              "  set vehicle:enginesize to 3\n"
              "endif\n"
              "set vehicle:extras to \"tow\"\n"
              "mutually_exclusive : {body.wagon, extras.sun}\n");
    addModule("engine",
              {"public size integer = 1 to 4 default 2", "public turbo logical default false",
               "private cylinders integer = 4, 6, 8 default 4"},
              "if engine:size > 2 then fix engine:turbo to true endif\n"
              "set engine:cylinders to engine:size * 2\n");
    addModule("gearbox",
              {"public power uses engine:size",
               "public kind string = \"manual\" \"auto\" default \"manual\""},
              "if gearbox:power > 2 then set gearbox:kind to \"auto\" endif\n"
              "mutually_exclusive : [kind]\n");
    addModule("trailer", {}, "inform \"Hitch for \" + vehicle:body");
    addModule("roofbox", {}, "warn \"Roof box on \" + vehicle:body");
    trailer->setLoadIf("vehicle:extras = \"tow\"");
    roofbox->setLoadIf("vehicle:extras = \"roof\"");
    window->setRoot(&car);
  }
  void chooseHost(const std::vector<std::pair<std::string, std::string>>& choices) {
    TamSelOptionSet chosen(window);
    for (const auto& choice : choices) {
      chosen.set(entry(option("vehicle", choice.first), {TamValue::createString(choice.second)},
                       {TamSelOptionSet::HOWSET_HOST}));
    }
    car.setSos(chosen);
  }

  std::vector<std::string> messages() const {
    std::vector<std::string> texts;
    for (const tamtest::RecordedMessage& m : adapter.messages) {
      texts.push_back(std::to_string(m.severity) + " " + m.node->pathId() + ": " + m.text);
    }
    return texts;
  }

  TestNode car{window, "car", "vehicle"};
  TestNode* front = car.addChild("front");
  TestNode* engine = front->addChild("engine", "engine");
  TestNode* gearbox = engine->addChild("gearbox", "gearbox");
  TestNode* trailer = car.addChild("trailer", "trailer");
  TestNode* roofbox = car.addChild("roofbox", "roofbox");
};

TEST_F(ProductTest, EvaluatesEveryPartAndFollowsAHostChange) {
  window->evaluate(true);

  EXPECT_EQ(value(car, "vehicle", "body"), "sedan");
  EXPECT_EQ(value(car, "vehicle", "extras"), "tow");
  EXPECT_EQ(value(car, "vehicle", "enginesize"), "3");
  EXPECT_EQ(value(*front, "vehicle", "body"), "sedan");
  EXPECT_EQ(value(*engine, "engine", "size"), "3");
  EXPECT_EQ(value(*engine, "engine", "turbo"), "true");
  EXPECT_EQ(value(*engine, "engine", "cylinders"), "6");
  EXPECT_EQ(value(*gearbox, "gearbox", "power"), "3");
  EXPECT_EQ(gearbox->getSos().get(option("gearbox", "power")).howSet,
            std::vector<TamSelOptionSet::HowSet>{TamSelOptionSet::HOWSET_INHERITED});
  EXPECT_EQ(value(*gearbox, "gearbox", "kind"), "auto");
  for (TestNode* node : {&car, front, engine, gearbox}) {
    EXPECT_EQ(node->isNodeConfigured(), CS::CS_UNDECIDED) << node->pathId();
  }
  EXPECT_EQ(trailer->isNodeConfigured(), CS::CS_CONFIGURED);
  EXPECT_EQ(roofbox->isNodeConfigured(), CS::CS_NOT_CONFIGURED);
  EXPECT_EQ(messages(), std::vector<std::string>{"0 trailer: Hitch for sedan"});
  EXPECT_NO_THROW(engine->getSos().verifyCompleteness());

  TamValidator validator;
  validator.validateNode(&car, true);
  EXPECT_TRUE(validator.errors().empty());

  // The host picks the wagon: it gets a roof rail, a larger engine and the roof box.
  adapter.messages.clear();
  chooseHost({{"body", "wagon"}});
  window->evaluate(true);

  EXPECT_EQ(value(car, "vehicle", "body"), "wagon");
  EXPECT_EQ(value(car, "vehicle", "extras"), "roof,tow");
  EXPECT_EQ(value(*engine, "engine", "size"), "4");
  EXPECT_EQ(value(*engine, "engine", "cylinders"), "8");
  EXPECT_EQ(value(*gearbox, "gearbox", "power"), "4");
  EXPECT_EQ(trailer->isNodeConfigured(), CS::CS_CONFIGURED);
  EXPECT_EQ(roofbox->isNodeConfigured(), CS::CS_CONFIGURED);
  EXPECT_EQ(roofbox->stateChanges, (std::vector<CS>{CS::CS_NOT_CONFIGURED, CS::CS_CONFIGURED}));
  EXPECT_EQ(trailer->stateChanges, std::vector<CS>{CS::CS_CONFIGURED});
  EXPECT_EQ(messages(), (std::vector<std::string>{"0 trailer: Hitch for wagon",
                                                  "1 roofbox: Roof box on wagon"}));

  // A sun roof on a wagon breaks the product's rule; the car node is named.
  chooseHost({{"body", "wagon"}, {"extras", "sun"}});
  EXPECT_EQ(evaltest::failureOf([&] { window->evaluate(true); }),
            "107 option value mutually exclusive rule|body.wagon|extras.sun at car");
  // The failed evaluation left the parts as the last good one did.
  EXPECT_EQ(value(*engine, "engine", "size"), "4");
}

}  // namespace
