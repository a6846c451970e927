// The smallest host the comparison times: it reads the generated module files, hangs one node per
// module under a root without a module, evaluates the tree once and prints every selected value
// as MODULE:OPTION=VALUE, one a line. Nothing else: no product file, no report, no checks.
//   tam_compare_host MODULE_FOLDER MODULE_COUNT
// Module number k is MODULE_FOLDER/m<k>.rix and declares module m<k>.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tam/libtam.h"

namespace {

class FolderAdapter : public Tam::AdapterInterface {
 public:
  explicit FolderAdapter(std::string folder) : folder_(std::move(folder)) {}
  bool loadModule(TamWindow* window, const std::string& id) override {
    std::ifstream in(folder_ + "/" + id + ".rix", std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    window->createModule(id)->setRixData(text.str());
    return true;
  }
  bool refreshModule(TamWindow*, ref_count_ptr<TamModule>) override { return true; }

 private:
  std::string folder_;
};

class HostNode;

class HostIterator : public TamNodeIterator {
 public:
  explicit HostIterator(const std::vector<std::unique_ptr<HostNode>>& kids) : kids_(kids) {}
  bool more() override { return index_ < kids_.size(); }
  TamNode* current() override;
  void next() override { ++index_; }

 private:
  const std::vector<std::unique_ptr<HostNode>>& kids_;
  std::size_t index_ = 0;
};

class HostNode : public TamNode {
 public:
  HostNode(const ref_count_ptr<TamWindow>& window, HostNode* parent, std::string id,
           std::string moduleId)
      : TamNode(window), parent_(parent), id_(std::move(id)), moduleId_(std::move(moduleId)) {}
  TamNode* parent() override { return parent_; }
  TamNodeIterator* children() override { return new HostIterator(kids); }
  bool hasModule() override { return !moduleId_.empty(); }
  std::string moduleId() override { return moduleId_; }
  std::string pathId() override { return id_; }

  std::vector<std::unique_ptr<HostNode>> kids;

 private:
  HostNode* parent_;
  std::string id_;
  std::string moduleId_;
};

TamNode* HostIterator::current() { return kids_[index_].get(); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tam_compare_host MODULE_FOLDER MODULE_COUNT\n");
    return 2;
  }
  const int count = std::atoi(argv[2]);
  FolderAdapter adapter(argv[1]);
  Tam::initialize(&adapter);
  int status = 0;
  {
    ref_count_ptr<TamWindow> window = Tam::createWindow();
    HostNode root(window, nullptr, "product", "");
    for (int k = 0; k < count; ++k) {
      const std::string id = "m" + std::to_string(k);
      root.kids.push_back(std::make_unique<HostNode>(window, &root, id, id));
    }
    window->setRoot(&root);
    try {
      window->evaluate(true);
      std::string out;
      for (const std::unique_ptr<HostNode>& kid : root.kids) {
        for (const auto& item : kid->getSos().contents()) {
          const TamSelOptionSet::TamSosEntry& entry = item.second;
          out += entry.option->moduleId() + ":" + entry.option->name() + "=" +
                 entry.values[0]->displayString() + "\n";
        }
        std::fwrite(out.data(), 1, out.size(), stdout);
        out.clear();
      }
    } catch (const TamException& e) {
      std::fprintf(stderr, "evaluation failed: code %d %s %s\n", e.code(), e.info().c_str(),
                   e.context().c_str());
      status = 1;
    }
    window->setRoot(nullptr);
  }
  Tam::initialize(nullptr);
  return status;
}
