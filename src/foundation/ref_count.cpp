#include "tam/ref_count.h"

// Objects alive in the process; each ref_count constructor adds one, each destructor takes one.
std::atomic<int32_t> ref_count::globalCount{0};
