#include "BenchProduct.h"

#include <deque>

namespace tambench {
namespace {

std::string moduleId(int i) { return "mod" + std::to_string(i); }

class KidIterator : public TamNodeIterator {
 public:
  explicit KidIterator(const std::vector<std::unique_ptr<BenchNode>>& kids) : kids_(kids) {}
  bool more() override { return index_ < kids_.size(); }
  TamNode* current() override { return kids_[index_].get(); }
  void next() override { ++index_; }

 private:
  const std::vector<std::unique_ptr<BenchNode>>& kids_;
  size_t index_ = 0;
};

}  // namespace

std::string moduleText(int i, int count) {
  std::string id = moduleId(i);
  std::string text = "module " + id + "\ninterface start\n";
  text += "public level integer = 0 to 1000 default " + std::to_string(i % 7) + "\n";
  text += "public on logical default true\n";
  text += "public colour string = \"red\" \"green\" \"blue\" default \"red\"\n";
  text += "private weight real = >= 0 default 1.5\n";
  if (i + 1 < count) {
    text += "public next_level presents " + moduleId(i + 1) + ":level [n" + std::to_string(i + 1) +
            "]\n";
  }
  text += "interface end\n";
  text += "if " + id + ":level > 3 then set " + id + ":colour to \"green\"\n";
  text += "elif " + id + ":level = 2 then fix " + id + ":colour to \"blue\"\n";
  text += "else set " + id + ":weight to " + id + ":weight * 2 + 1 endif\n";
  text += "if not " + id + ":on then warn \"off at \" + " + id + ":colour endif\n";
  return text;
}

std::string groupDeclarations(int i, int groups) {
  std::string text;
  for (int g = 0; g < groups; ++g) {
    const std::string k = std::to_string(i) + "_" + std::to_string(g);
    text += "public on" + k + " logical \"group switch\" default true\n";
    text += "public level" + k + " integer = 1 to 10 default 1\n";
    text += "public label" + k + " string default \"plain\"\n";
    text += "private high" + k + " logical default false\n";
  }
  return text;
}

std::string groupModuleText(int i, int groups) {
  const std::string id = "grp" + std::to_string(i);
  std::string text = "module " + id + "\ninterface start\n" + groupDeclarations(i, groups) +
                     "interface end\n";
  for (int g = 0; g < groups; ++g) {
    const std::string k = std::to_string(i) + "_" + std::to_string(g);
    const std::string next = std::to_string(i) + "_" + std::to_string(g + 1);
    text += "if " + id + ":on" + k + " then set " + id + ":level" + k + " to 7 endif\n";
    text += "if " + id + ":level" + k + " > 3 then set " + id + ":high" + k + " to true endif\n";
    if (g + 1 < groups) {
      text += "if " + id + ":high" + k + " then fix " + id + ":on" + next + " to true endif\n";
    }
  }
  return text;
}

std::string ruleBody(int statements) {
  std::string text;
  for (int i = 0; i < statements; ++i) {
    text += "if m:a" + std::to_string(i % 10) + " > " + std::to_string(i) +
            " and not m:flag then set m:b to (m:c + 2) * 3 - m:d / 4 # step\nelse fix m:e to \"x\" endif\n";
  }
  return text;
}

bool BenchAdapter::loadModule(TamWindow* window, const std::string& id) {
  int number = std::stoi(id.substr(3));
  if (number < 0 || number >= moduleCount_) return false;
  window->createModule(id)->setRixData(moduleText(number, moduleCount_));
  return true;
}

TamNodeIterator* BenchNode::children() { return new KidIterator(kids); }

std::unique_ptr<BenchNode> buildTree(const ref_count_ptr<TamWindow>& window, int nodeCount,
                                     int fanOut, int moduleCount) {
  auto root = std::make_unique<BenchNode>(window, nullptr, "root", moduleId(0));
  std::deque<BenchNode*> open{root.get()};
  int made = 1;
  while (made < nodeCount && !open.empty()) {
    BenchNode* parent = open.front();
    open.pop_front();
    for (int k = 0; k < fanOut && made < nodeCount; ++k, ++made) {
      std::string mod = moduleId(made % moduleCount);
      parent->kids.push_back(
          std::make_unique<BenchNode>(window, parent, "n" + std::to_string(made), mod));
      BenchNode* kid = parent->kids.back().get();
      kid->setLoadIf(parent->moduleId() + ":on");
      open.push_back(kid);
    }
  }
  return root;
}

}  // namespace tambench
