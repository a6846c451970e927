// A small in-memory host for tests: an adapter that loads modules from RIX texts it was given,
// records messages and keeps legacy values, and a node class whose tree is built in the test.
// Tests use them the way a host application uses the library.
#ifndef TAM_TESTS_SUPPORT_TESTHOST_H
#define TAM_TESTS_SUPPORT_TESTHOST_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tam/libtam.h"

namespace tamtest {

struct RecordedMessage {
  Tam::MsgSeverity severity;
  std::string text;
  TamNode* node;
};

class TestAdapter : public Tam::AdapterInterface {
 public:
  // Installs itself with Tam::initialize; the previous adapter is not restored.
  TestAdapter();
  // Uninstalls itself when it is still the installed adapter.
  ~TestAdapter() override;

  // The text loadModule hands to setRixData for this module id.
  void addModuleText(const std::string& id, const std::string& text) { texts[id] = text; }

  bool loadModule(TamWindow* window, const std::string& moduleId) override;
  bool refreshModule(TamWindow* window, ref_count_ptr<TamModule> module) override;
  bool userMsg(TamWindow* window, Tam::MsgSeverity severity, const std::string& message,
               TamNode* node) override;
  ref_count_ptr<TamValue> getLegacyOptionValue(TamWindow* window,
                                               const ref_count_ptr<TamOption>& option) override;
  void setLegacyOptionValue(TamWindow* window, const ref_count_ptr<TamOption>& option,
                            const ref_count_ptr<TamValue>& value) override;
  void setLegacyOptionValues(TamWindow* window, const ref_count_ptr<TamOption>& option,
                             std::vector<ref_count_ptr<TamValue>> values) override;

  std::map<std::string, std::string> texts;
  std::vector<std::string> loaded;     // module ids asked of loadModule, in order
  std::vector<std::string> refreshed;  // module ids asked of refreshModule ("" for none)
  bool refreshAnswer = true;
  bool acceptMessages = true;
  std::vector<RecordedMessage> messages;
  // Legacy values by "module:option".
  std::map<std::string, std::vector<ref_count_ptr<TamValue>>> legacyValues;
};

class TestNode;

class TestNodeIterator : public TamNodeIterator {
 public:
  explicit TestNodeIterator(const std::vector<std::unique_ptr<TestNode>>& children)
      : children_(children) {}
  bool more() override { return index_ < children_.size(); }
  TamNode* current() override;
  void next() override { ++index_; }

 private:
  const std::vector<std::unique_ptr<TestNode>>& children_;
  size_t index_ = 0;
};

// A host node: owns its children, knows its parent, module id and path id.
class TestNode : public TamNode {
 public:
  TestNode(const ref_count_ptr<TamWindow>& window, const std::string& pathId,
           const std::string& moduleId = std::string(), TestNode* parent = nullptr)
      : TamNode(window), pathId_(pathId), moduleId_(moduleId), parent_(parent) {}

  // Adds a child and returns it (owned by this node).
  TestNode* addChild(const std::string& pathId, const std::string& moduleId = std::string());

  TamNode* parent() override { return parent_; }
  TamNodeIterator* children() override { return new TestNodeIterator(children_); }
  bool hasModule() override { return !moduleId_.empty(); }
  std::string moduleId() override { return moduleId_; }
  std::string pathId() override { return pathId_; }
  void stateChanged(ConfigState state) override { stateChanges.push_back(state); }
  ConfigState forcedConfigState() override { return forced; }

  ConfigState forced = CS_UNDECIDED;
  std::vector<ConfigState> stateChanges;

 private:
  std::string pathId_;
  std::string moduleId_;
  TestNode* parent_;
  std::vector<std::unique_ptr<TestNode>> children_;
};

// The first value of an option's entry in a set, as display text ("" when the entry has none).
std::string valueText(const TamSelOptionSet& sos, const ref_count_ptr<TamOption>& option);

}  // namespace tamtest

#endif  // TAM_TESTS_SUPPORT_TESTHOST_H
