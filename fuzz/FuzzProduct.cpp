#include "FuzzProduct.h"

namespace tamfuzz {

namespace {

const char kSeparator[] = "\n%%\n";
const char* const kModules[] = {"a", "b"};
constexpr size_t kHostValues = 3;

}  // namespace

std::vector<std::string> splitParts(const std::string& input, size_t count) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t at = input.find(kSeparator, start);
    if (at == std::string::npos) break;
    parts.push_back(input.substr(start, at - start));
    start = at + sizeof(kSeparator) - 1;
  }
  parts.push_back(input.substr(start));
  if (parts.size() < count) parts.resize(count);
  return parts;
}

// Supplies the two modules, keeps one legacy value that rules cannot change, and counts messages.
class FuzzProduct::Adapter : public Tam::AdapterInterface {
 public:
  explicit Adapter(const std::vector<std::string>& parts) : parts_(parts) {}

  bool loadModule(TamWindow* window, const std::string& id) override {
    for (size_t i = 0; i < 2; ++i) {
      if (id != kModules[i]) continue;
      ref_count_ptr<TamModule> module = window->createModule(id);
      if (i == 0) module->declareLegacyOption("kept");
      module->setRixData("module " + id + "\ninterface start\n" + parts_[i]);
      return true;
    }
    return false;
  }
  bool refreshModule(TamWindow*, ref_count_ptr<TamModule>) override { return true; }
  bool userMsg(TamWindow*, Tam::MsgSeverity severity, const std::string& text,
               TamNode* node) override {
    messages += std::to_string(severity) + " " + (node ? node->pathId() : "-") + " " + text + "\n";
    return text.find("refuse") == std::string::npos;
  }
  ref_count_ptr<TamValue> getLegacyOptionValue(TamWindow*,
                                               const ref_count_ptr<TamOption>&) override {
    return TamValue::createInt(7);
  }

  std::string messages;

 private:
  const std::vector<std::string>& parts_;
};

class FuzzProduct::Node : public TamNode {
 public:
  class Iterator : public TamNodeIterator {
   public:
    explicit Iterator(const std::vector<Node*>& kids) : kids_(kids) {}
    bool more() override { return index_ < kids_.size(); }
    TamNode* current() override { return kids_[index_]; }
    void next() override { ++index_; }

   private:
    const std::vector<Node*>& kids_;
    size_t index_ = 0;
  };

  Node(const ref_count_ptr<TamWindow>& window, Node* parent, std::string id, std::string moduleId)
      : TamNode(window), parent_(parent), id_(std::move(id)), moduleId_(std::move(moduleId)) {
    if (parent_ != nullptr) parent_->kids.push_back(this);
  }
  TamNode* parent() override { return parent_; }
  TamNodeIterator* children() override { return new Iterator(kids); }
  bool hasModule() override { return !moduleId_.empty(); }
  std::string moduleId() override { return moduleId_; }
  std::string pathId() override { return id_; }

  std::vector<Node*> kids;

 private:
  Node* parent_;
  std::string id_;
  std::string moduleId_;
};

FuzzProduct::FuzzProduct(const std::string& input)
    : parts_(splitParts(input, 5)), adapter_(new Adapter(parts_)) {
  Tam::initialize(adapter_.get());
  window_ = Tam::createWindow();
  nodes_.emplace_back(new Node(window_, nullptr, "root", "a"));
  const std::string& shape = parts_[4];
  if (shape.empty()) {
    // root -> {n1 (b), n2 -> {n3 (a)}, n4 (b)}
    nodes_.emplace_back(new Node(window_, nodes_[0].get(), "n1", "b"));
    nodes_.emplace_back(new Node(window_, nodes_[0].get(), "n2", ""));
    nodes_.emplace_back(new Node(window_, nodes_[2].get(), "n3", "a"));
    nodes_.emplace_back(new Node(window_, nodes_[0].get(), "n4", "b"));
    return;
  }
  const char* const modules[] = {"a", "b", ""};
  for (size_t i = 0; i < shape.size() && nodes_.size() < kMaxNodes; ++i) {
    const unsigned char byte = static_cast<unsigned char>(shape[i]);
    Node* parent = nodes_[byte % nodes_.size()].get();
    nodes_.emplace_back(
        new Node(window_, parent, "n" + std::to_string(nodes_.size()), modules[(byte / 16) % 3]));
  }
}

// The tree goes before the window, and the adapter is uninstalled last.
FuzzProduct::~FuzzProduct() {
  nodes_.clear();
  window_ = ref_count_ptr<TamWindow>();
  Tam::initialize(nullptr);
}

// Both modules are loaded first: a module whose text fails keeps what was read, so every later
// lookup finds the same module.
void FuzzProduct::build() {
  for (const char* id : kModules) failureOf([&] { window_->getModule(id); });
  for (size_t i = 1; i < nodes_.size(); ++i) {
    failureOf([&] { nodes_[i]->setLoadIf(parts_[2 + (i % 2)]); });
  }
  window_->setRoot(nodes_[0].get());
  failureOf([&] {
    // The first value of each kind that the option takes; the first as a firm choice.
    const ref_count_ptr<TamValue> candidates[] = {
        TamValue::createInt(1), TamValue::createReal(2.5), TamValue::createString("x"),
        TamValue::createBool(true)};
    TamSelOptionSet chosen(window_);
    size_t given = 0;
    for (const ref_count_ptr<TamOption>& option : window_->getModule("a")->options()) {
      if (given == kHostValues) break;
      for (const ref_count_ptr<TamValue>& value : candidates) {
        if (!option->validateValue(value)) continue;
        hostValues_.push_back({option, TamPath(), {value},
                               {given == 0 ? TamSelOptionSet::HOWSET_HOST_FIRM
                                           : TamSelOptionSet::HOWSET_HOST}});
        chosen.set(hostValues_.back());
        ++given;
        break;
      }
    }
    nodes_[0]->setSos(chosen);
  });
}

std::string FuzzProduct::evaluate() {
  adapter_->messages.clear();
  std::string out = failureOf([&] { window_->evaluate(true); }) + "\n";
  for (const std::unique_ptr<Node>& node : nodes_) {
    out += node->pathId() + " " + std::to_string(node->isNodeConfigured());
    out += failureOf([&] {
      for (const auto& item : node->getSos().contents()) {
        out += " " + item.second.option->moduleId() + ":" + item.second.option->name() + "=";
        for (const ref_count_ptr<TamValue>& value : item.second.values) {
          out += value->displayString() + ",";
        }
      }
    });
    out += "\n";
  }
  return out + adapter_->messages;
}

std::string FuzzProduct::validate() {
  TamValidator validator;
  std::string out = failureOf([&] { validator.validateNode(nodes_[0].get(), true); }) + "\n";
  for (const ValidationError& error : validator.errors()) {
    out += std::to_string(error.code()) + " " + error.node()->pathId() + " " +
           error.option()->moduleId() + ":" + error.option()->name() + "\n";
  }
  return out;
}

bool FuzzProduct::hostValuesKept() {
  bool kept = true;
  const std::string failure = failureOf([&] {
    const TamSelOptionSet& sos = nodes_[0]->getSos();
    for (const TamSelOptionSet::TamSosEntry& given : hostValues_) {
      const TamSelOptionSet::TamSosEntry& entry = sos.get(given.option);
      kept = kept && !entry.values.empty() && entry.values[0] == given.values[0] &&
             !entry.howSet.empty() && entry.howSet[0] == given.howSet[0];
    }
  });
  return kept && failure.empty();
}

bool FuzzProduct::changesOptionsWhenRun() const {
  for (size_t i = 0; i < 2; ++i) {
    const std::string& body = parts_[i];
    for (size_t at = body.find("mutually_exclusive"); at != std::string::npos;
         at = body.find("mutually_exclusive", at + 1)) {
      if (at < 4 || body.compare(at - 4, 4, "non_") != 0) return true;
    }
  }
  return false;
}

}  // namespace tamfuzz
