// A minimal host built against the installed libtam: declares a module, evaluates a one-node tree
// and checks the value its rule set. Exits non-zero when anything is off.
#include <tam/libtam.h>

#include <iostream>

namespace {

class Adapter : public Tam::AdapterInterface {
 public:
  bool loadModule(TamWindow*, const std::string&) override { return false; }
  bool refreshModule(TamWindow*, ref_count_ptr<TamModule>) override { return true; }
};

class Leaf : public TamNode {
 public:
  explicit Leaf(const ref_count_ptr<TamWindow>& window) : TamNode(window) {}
  TamNode* parent() override { return nullptr; }
  TamNodeIterator* children() override { return new None; }
  bool hasModule() override { return true; }
  std::string moduleId() override { return "engine"; }
  std::string pathId() override { return "root"; }

 private:
  struct None : TamNodeIterator {
    bool more() override { return false; }
    TamNode* current() override { return nullptr; }
    void next() override {}
  };
};

}  // namespace

int main() {
  Adapter adapter;
  Tam::initialize(&adapter);
  try {
    ref_count_ptr<TamWindow> window = Tam::createWindow();
    ref_count_ptr<TamModule> engine = window->createModule("engine");
    engine->setRixData(
        "module engine\ninterface start\n"
        "public size integer = 1 to 4 default 2\n"
        "public turbo logical default false\n"
        "interface end\n"
        "if engine:size > 1 then fix engine:turbo to true endif");
    Leaf root(window);
    window->setRoot(&root);
    window->evaluate(true);
    std::string turbo = root.getSos().get(engine->getOption("turbo")).values.at(0)->displayString();
    std::cout << "engine:turbo = " << turbo << "\n";
    return turbo == "true" ? 0 : 1;
  } catch (const TamException& e) {
    std::cerr << "TamException " << e.code() << ": " << e.info() << "\n";
    return 1;
  }
}
