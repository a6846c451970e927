#include "evaluation/BindingPass.h"

namespace tam {
namespace detail {

int BindingPass::depth_ = 0;
uint64_t BindingPass::number_ = 0;

BindingPass::BindingPass() {
  if (depth_++ == 0) ++number_;
}

BindingPass::~BindingPass() { --depth_; }

uint64_t BindingPass::current() { return number_; }

}  // namespace detail
}  // namespace tam
