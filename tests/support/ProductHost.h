// A host of a whole product folder, laid out the way the tam command reads it (a product file
// naming the module folders, the legacy values the host keeps and the node tree with load-ifs,
// forced states and host values). Tests that need a realistic workload use it: allocation
// failure, threads, and the evaluation fuzz target.
//
// The adapter keeps everything it learns per window behind one mutex, so windows of one product
// may be worked on from several threads at once, as the library allows.
#ifndef TAM_TESTS_SUPPORT_PRODUCTHOST_H
#define TAM_TESTS_SUPPORT_PRODUCTHOST_H

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tam/libtam.h"

namespace tamtest {

// A JSON scalar of a product file, typed later by the option it is given to.
struct ProductScalar {
  enum Kind { kBool, kInteger, kReal, kString };
  Kind kind = kString;
  bool boolean = false;
  long long integer = 0;
  double real = 0;
  std::string text;

  // The value for an option of this value type (an integer is a real for a real option).
  ref_count_ptr<TamValue> toValue(TamValue::ValueType type) const;
};

struct ProductHostValue {
  std::string moduleId;
  std::string optionName;
  std::vector<ProductScalar> values;
  TamSelOptionSet::HowSet how = TamSelOptionSet::HOWSET_HOST;
};

struct ProductNodePlan {
  std::string id;
  std::string moduleId;
  std::string loadIf;
  TamNode::ConfigState forced = TamNode::CS_UNDECIDED;
  std::vector<ProductHostValue> values;
  std::vector<ProductNodePlan> children;
};

struct ProductLegacyValue {
  std::string moduleId;
  std::string optionName;
  std::vector<ProductScalar> values;
};

// A product file read with every module text of its folders. Reading does not touch the library.
struct ProductPlan {
  std::map<std::string, std::string> moduleTexts;  // by the id on the module line
  std::vector<ProductLegacyValue> legacy;
  TamWindow::VariantsMode variantsMode = TamWindow::VM_MODULAR;
  ProductNodePlan root;

  // Throws std::runtime_error when the file or a module folder cannot be read.
  static ProductPlan load(const std::string& productFile);
};

// Supplies modules from the product's texts (declaring the legacy options first), keeps legacy
// values and records messages, each per window.
class ProductAdapter : public Tam::AdapterInterface {
 public:
  explicit ProductAdapter(const ProductPlan& plan) : plan_(plan) {}

  bool loadModule(TamWindow* window, const std::string& moduleId) override;
  bool refreshModule(TamWindow* window, ref_count_ptr<TamModule> module) override;
  bool userMsg(TamWindow* window, Tam::MsgSeverity severity, const std::string& message,
               TamNode* node) override;
  ref_count_ptr<TamValue> getLegacyOptionValue(TamWindow* window,
                                               const ref_count_ptr<TamOption>& option) override;
  std::vector<ref_count_ptr<TamValue>> getLegacyOptionValues(
      TamWindow* window, const ref_count_ptr<TamOption>& option) override;
  void setLegacyOptionValue(TamWindow* window, const ref_count_ptr<TamOption>& option,
                            const ref_count_ptr<TamValue>& value) override;
  void setLegacyOptionValues(TamWindow* window, const ref_count_ptr<TamOption>& option,
                             std::vector<ref_count_ptr<TamValue>> values) override;

  // The messages received for the window so far, one line each; they are forgotten.
  std::string takeMessages(TamWindow* window);
  // Drops what the adapter keeps for a window that is going away.
  void forget(TamWindow* window);

 private:
  struct WindowState {
    std::map<std::string, std::vector<ref_count_ptr<TamValue>>> legacy;  // "module:option"
    std::string messages;
  };
  WindowState& stateOf(TamWindow* window);  // with mutex_ held

  const ProductPlan& plan_;
  std::mutex mutex_;
  std::map<TamWindow*, WindowState> windows_;
};

class ProductNode : public TamNode {
 public:
  ProductNode(const ref_count_ptr<TamWindow>& window, ProductNode* parent, const std::string& id,
              const std::string& moduleId)
      : TamNode(window), parent_(parent), id_(id), moduleId_(moduleId) {}

  TamNode* parent() override { return parent_; }
  TamNodeIterator* children() override;
  bool hasModule() override { return !moduleId_.empty(); }
  std::string moduleId() override { return moduleId_; }
  std::string pathId() override { return id_; }
  ConfigState forcedConfigState() override { return forced; }

  ConfigState forced = CS_UNDECIDED;
  std::vector<std::unique_ptr<ProductNode>> kids;

 private:
  ProductNode* parent_;
  std::string id_;
  std::string moduleId_;
};

// One host session over a product: a window and the node tree. Each step is one kind of work a
// host does, and each digest is the whole visible outcome of that work as text, so that two runs
// compare with one string comparison.
class ProductSession {
 public:
  // Creates the window; the adapter must be installed and outlive the session.
  ProductSession(const ProductPlan& plan, ProductAdapter& adapter);
  ~ProductSession();
  ProductSession(const ProductSession&) = delete;
  ProductSession& operator=(const ProductSession&) = delete;

  // Builds the node tree: load-ifs and host values (which loads the modules they name).
  void build();
  void evaluate() { window_->evaluate(true); }
  // Every node's path, state and selected values, and the messages of the evaluation.
  std::string evaluationDigest();
  std::string validationDigest();
  // Every module's text translated with a few module and option renamings.
  std::string translationDigest();
  // Every module's text as the module writes it.
  std::string moduleTextDigest();

  const ref_count_ptr<TamWindow>& window() const { return window_; }
  ProductNode* root() const { return root_.get(); }

 private:
  std::unique_ptr<ProductNode> buildNode(const ProductNodePlan& plan, ProductNode* parent);

  const ProductPlan& plan_;
  ProductAdapter& adapter_;
  ref_count_ptr<TamWindow> window_;
  std::unique_ptr<ProductNode> root_;
};

// The whole workload over a fresh session: build, evaluate, validate, translate, write texts.
std::string runProductWorkload(const ProductPlan& plan, ProductAdapter& adapter);

}  // namespace tamtest

#endif  // TAM_TESTS_SUPPORT_PRODUCTHOST_H
