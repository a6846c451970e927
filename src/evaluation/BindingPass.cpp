#include "evaluation/BindingPass.h"

#include <atomic>

namespace tam {
namespace detail {

namespace {

std::atomic<uint64_t> lastPassNumber{0};
std::atomic<uint64_t> lastWalkNumber{0};
thread_local uint64_t walkNumber = 0;

}  // namespace

thread_local int BindingPass::depth_ = 0;
thread_local uint64_t BindingPass::number_ = 0;

BindingPass::BindingPass() {
  if (depth_++ == 0) number_ = lastPassNumber.fetch_add(1, std::memory_order_relaxed) + 1;
}

BindingPass::~BindingPass() { --depth_; }

uint64_t BindingPass::current() { return number_; }

uint64_t currentWalk() { return walkNumber; }

void beginWalk() { walkNumber = lastWalkNumber.fetch_add(1, std::memory_order_relaxed) + 1; }

}  // namespace detail
}  // namespace tam
