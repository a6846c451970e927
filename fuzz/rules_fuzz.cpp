// Parses any text as rules and as a condition, and translates it with and without mappings.
// Translating with no mappings must give the text back unchanged. The outline of each parse must
// agree with it (the same tree, or the same failure) and place every node inside its parent and
// inside the text.
#include "FuzzHost.h"
#include "rix/TamRuleParser.h"
#include "rules/TamExp.h"
#include "rules/TamValueExp.h"

namespace {

void checkNodes(const TamRixOutline& outline) {
  const auto& nodes = outline.nodes();
  for (size_t i = 0; i < nodes.size(); ++i) {
    const TamRixOutline::Node& node = nodes[i];
    TAM_FUZZ_CHECK(node.begin.isKnown() && node.end.isKnown());
    TAM_FUZZ_CHECK(node.begin.offset <= node.end.offset);
    TAM_FUZZ_CHECK(node.end.offset <= outline.text().size());
    for (int child : node.children) {
      if (child < 0) continue;
      const TamRixOutline::Node& below = nodes[static_cast<size_t>(child)];
      TAM_FUZZ_CHECK(below.parent == static_cast<int>(i));
      TAM_FUZZ_CHECK(node.begin.offset <= below.begin.offset);
      TAM_FUZZ_CHECK(below.end.offset <= node.end.offset);
    }
  }
}

void checkFailure(const TamRixOutline& outline, const TamException& e) {
  TAM_FUZZ_CHECK(outline.failed() && outline.top() < 0);
  TAM_FUZZ_CHECK(outline.failure().message == e.info());
  TAM_FUZZ_CHECK(outline.failure().exceptionLine == e.line());
  TAM_FUZZ_CHECK(outline.failure().position.isKnown());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tamfuzz::ensureHost();
  std::string text = tamfuzz::asText(data, size);
  const TamRixOutline rules = TamRixOutline::fromRules(text);
  try {
    ref_count_ptr<TamExpRoot> root = TamRuleParser(text).parseRules();
    TAM_FUZZ_CHECK(!rules.failed());
    TAM_FUZZ_CHECK(rules.dumpTree() == (root->body() ? root->body()->dump() : "null"));
    checkNodes(rules);
  } catch (const TamException& e) {
    checkFailure(rules, e);
  }
  const TamRixOutline condition = TamRixOutline::fromCondition(text);
  try {
    ref_count_ptr<TamConditionExp> root = TamRuleParser(text).parseCondition();
    TAM_FUZZ_CHECK(!condition.failed() && condition.dumpTree() == root->condition()->dump());
    checkNodes(condition);
  } catch (const TamException& e) {
    checkFailure(condition, e);
  }
  try {
    TamTranslater identity;
    std::string same = identity.translateRix(text);
    TAM_FUZZ_CHECK(same == text);
  } catch (const TamException&) {
  }
  try {
    TamTranslater renamer;
    renamer.addModuleMapping("m", "renamed module");
    renamer.addOptionMapping("m", "a", "1st");
    std::string renamed = renamer.translateRix(text);
    // A renamed text must still parse: a rewrite never breaks the syntax around it.
    TamRuleParser(renamed).parseRules();
  } catch (const TamException&) {
  }
  return 0;
}
