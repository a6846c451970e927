// Runs the library once over one input far larger than real products, to measure its time and,
// under /usr/bin/time -v, its peak memory:
//   tam_size_probe deep-tree 100000     a chain of nodes that deep: evaluate and validate
//   tam_size_probe module-text 50       a module text of about that many MB: read, write, translate
//   tam_size_probe options 100000       one module declaring that many options: read, evaluate
//   tam_size_probe value-list 1000000   one option listing that many values: declare, set, translate
// Prints what each step did (or the exception that stopped it) and how long it took.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tam/libtam.h"

namespace {

class ProbeAdapter : public Tam::AdapterInterface {
 public:
  bool loadModule(TamWindow* window, const std::string& id) override {
    auto text = texts.find(id);
    if (text == texts.end()) return false;
    window->createModule(id)->setRixData(text->second);
    return true;
  }
  bool refreshModule(TamWindow*, ref_count_ptr<TamModule>) override { return true; }
  bool userMsg(TamWindow*, Tam::MsgSeverity, const std::string&, TamNode*) override {
    ++messages;
    return true;
  }

  std::map<std::string, std::string> texts;
  long messages = 0;
};

class ProbeNode;

class ProbeIterator : public TamNodeIterator {
 public:
  explicit ProbeIterator(ProbeNode* only) : only_(only) {}
  bool more() override { return only_ != nullptr; }
  TamNode* current() override;
  void next() override { only_ = nullptr; }

 private:
  ProbeNode* only_;
};

// A node with at most one child, so that a tree of n nodes is n deep.
class ProbeNode : public TamNode {
 public:
  ProbeNode(const ref_count_ptr<TamWindow>& window, ProbeNode* parent, std::string moduleId)
      : TamNode(window), parent_(parent), moduleId_(std::move(moduleId)) {}
  TamNode* parent() override { return parent_; }
  TamNodeIterator* children() override { return new ProbeIterator(child.get()); }
  bool hasModule() override { return !moduleId_.empty(); }
  std::string moduleId() override { return moduleId_; }
  std::string pathId() override { return "n"; }

  std::unique_ptr<ProbeNode> child;

 private:
  ProbeNode* parent_;
  std::string moduleId_;
};

TamNode* ProbeIterator::current() { return only_; }

// Runs a step, printing its time, or the exception that stopped it.
void step(const char* what, const std::function<std::string()>& work) {
  const auto start = std::chrono::steady_clock::now();
  std::string result;
  try {
    result = work();
  } catch (const TamException& e) {
    result = "TamException " + std::to_string(e.code()) + ": " + e.info();
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::printf("%-22s %8.3f s  %s\n", what, took.count(), result.c_str());
}

std::string moduleText(const std::string& id, const std::string& declarations,
                       const std::string& rules) {
  return "module " + id + "\ninterface start\n" + declarations + "interface end\n" + rules;
}

// Each node is a module boundary with an option and a rule that sets it.
void deepTree(long depth) {
  ProbeAdapter adapter;
  Tam::initialize(&adapter);
  adapter.texts["link"] = moduleText("link", "public size integer default 16\n",
                                     "set link:size to 17\n");
  ref_count_ptr<TamWindow> window = Tam::createWindow();
  std::unique_ptr<ProbeNode> root;
  step("build tree", [&] {
    root = std::make_unique<ProbeNode>(window, nullptr, "link");
    ProbeNode* last = root.get();
    for (long k = 1; k < depth; ++k) {
      last->child = std::make_unique<ProbeNode>(window, last, "link");
      last = last->child.get();
    }
    return std::to_string(depth) + " nodes";
  });
  window->setRoot(root.get());
  step("evaluate", [&] {
    window->evaluate(true);
    return std::string("done");
  });
  step("validate", [&] {
    TamValidator validator;
    validator.validateNode(root.get(), true);
    return std::to_string(validator.errors().size()) + " findings";
  });
  // A chain this long would free itself recursively; the host frees it from the bottom.
  step("free tree", [&] {
    std::vector<std::unique_ptr<ProbeNode>> nodes;
    for (std::unique_ptr<ProbeNode> node = std::move(root); node; node = std::move(nodes.back()->child)) {
      nodes.push_back(std::move(node));
    }
    while (!nodes.empty()) nodes.pop_back();
    return std::string("done");
  });
}

// Lines like a real module's, repeated until the text has the size asked for.
void largeModuleText(long megabytes) {
  ProbeAdapter adapter;
  Tam::initialize(&adapter);
  const size_t target = static_cast<size_t>(megabytes) * 1024 * 1024;
  std::string declarations;
  std::string rules;
  long options = 0;
  while (declarations.size() + rules.size() < target) {
    const std::string name = "o" + std::to_string(options++);
    declarations += "public " + name + " integer \"Option " + name +
                    "\" = 0 to 100 default 50\n";
    rules += "if big:" + name + " > 60 then set big:" + name + " to 60 # keep it low\nendif\n";
  }
  const std::string text = moduleText("big", declarations, rules);
  ref_count_ptr<TamWindow> window = Tam::createWindow();
  ref_count_ptr<TamModule> module = window->createModule("big");
  step("read text", [&] {
    module->setRixData(text);
    return std::to_string(text.size() / 1024 / 1024) + " MB, " + std::to_string(options) +
           " options";
  });
  step("write text", [&] { return std::to_string(module->getRixData().size()) + " bytes"; });
  step("translate text", [&] {
    TamTranslater translater;
    translater.addModuleMapping("big", "huge");
    translater.addOptionMapping("big", "o1", "first");
    return std::to_string(translater.translateRixData("huge", text).size()) + " bytes";
  });
  ProbeNode node(window, nullptr, "big");
  window->setRoot(&node);
  step("evaluate", [&] {
    window->evaluate(true);
    return std::to_string(node.getSos().contents().size()) + " entries";
  });
}

void manyOptions(long count) {
  ProbeAdapter adapter;
  Tam::initialize(&adapter);
  std::string declarations;
  for (long k = 0; k < count; ++k) {
    declarations += "public o" + std::to_string(k) + " integer = 0 to 9 default 1\n";
  }
  const std::string text = moduleText("wide", declarations, "set wide:o0 to 2\n");
  ref_count_ptr<TamWindow> window = Tam::createWindow();
  ref_count_ptr<TamModule> module = window->createModule("wide");
  step("read text", [&] {
    module->setRixData(text);
    return std::to_string(module->options().size()) + " options";
  });
  ProbeNode node(window, nullptr, "wide");
  window->setRoot(&node);
  step("evaluate", [&] {
    window->evaluate(true);
    return std::to_string(node.getSos().contents().size()) + " entries";
  });
  step("validate", [&] {
    TamValidator validator;
    validator.validateNode(&node, true);
    return std::to_string(validator.errors().size()) + " findings";
  });
  step("write text", [&] { return std::to_string(module->getRixData().size()) + " bytes"; });
}

void longValueList(long count) {
  ProbeAdapter adapter;
  Tam::initialize(&adapter);
  std::string declaration = "public listed integer non_mutually_exclusive =";
  for (long k = 0; k < count; ++k) declaration += (k ? ", " : " ") + std::to_string(k * 2);
  ref_count_ptr<TamWindow> window = Tam::createWindow();
  ref_count_ptr<TamModule> module = window->createModule("list");
  step("declare", [&] {
    module->addOptionString(declaration);
    return std::to_string(declaration.size() / 1024 / 1024) + " MB, " +
           std::to_string(module->getOption("listed")->values().size()) + " values";
  });
  step("validate values", [&] {
    ref_count_ptr<TamOption> option = module->getOption("listed");
    const bool last = option->validateValue(TamValue::createInt(static_cast<int>(count - 1) * 2));
    const bool odd = option->validateValue(TamValue::createInt(1));
    return std::string(last ? "last accepted" : "last refused") + ", " +
           (odd ? "odd accepted" : "odd refused");
  });
  step("set 1000 values", [&] {
    TamSelOptionSet sos(window);
    TamSelOptionSet::TamSosEntry entry;
    entry.option = module->getOption("listed");
    for (int k = 0; k < 1000; ++k) {
      entry.values.push_back(TamValue::createInt(k * 2));
      entry.howSet.push_back(TamSelOptionSet::HOWSET_HOST);
    }
    sos.set(entry);
    return std::to_string(sos.get(entry.option).values.size()) + " selected";
  });
  step("translate", [&] {
    TamTranslater translater;
    return std::to_string(translater.translateOption(declaration).size()) + " bytes";
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s deep-tree|module-text|options|value-list SIZE\n", argv[0]);
    return 2;
  }
  const std::string what = argv[1];
  const long size = std::atol(argv[2]);
  if (what == "deep-tree") {
    deepTree(size);
  } else if (what == "module-text") {
    largeModuleText(size);
  } else if (what == "options") {
    manyOptions(size);
  } else if (what == "value-list") {
    longValueList(size);
  } else {
    std::fprintf(stderr, "unknown case %s\n", what.c_str());
    return 2;
  }
  Tam::initialize(nullptr);
  return 0;
}
