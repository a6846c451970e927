#include "FuzzHost.h"

namespace tamfuzz {
namespace {

class FuzzAdapter : public Tam::AdapterInterface {
 public:
  bool loadModule(TamWindow*, const std::string&) override { return false; }
  bool refreshModule(TamWindow*, ref_count_ptr<TamModule>) override { return true; }
};

}  // namespace

void ensureHost() {
  static FuzzAdapter adapter;
  if (Tam::adapterInterface() != &adapter) Tam::initialize(&adapter);
}

std::string asText(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

}  // namespace tamfuzz
