// How a host value from the product file or the command line is read and judged against its
// option, the same for `tam eval` (which refuses the product) and `tam check --product` (which
// reports it): a legacy option takes no host value, an option that holds one value at a time takes
// one, and each value must be of the option's type and among its allowed values.
#ifndef TAM_TOOL_HOSTVALUES_H
#define TAM_TOOL_HOSTVALUES_H

#include <tam/libtam.h>

#include <cstddef>
#include <string>
#include <vector>

#include "Product.h"

struct HostValueProblem {
  std::size_t valueIndex = 0;  // 1-based index of the value at fault; 0: the host value as a whole
  std::string message;         // empty when every value fits
};

// Reads the values of `given` for `option` into `values`, or says what is wrong with them.
// Command-line values (given.pointer empty) are texts typed by the option.
HostValueProblem judgeHostValue(const ref_count_ptr<TamOption>& option,
                                const HostValueEntry& given,
                                std::vector<ref_count_ptr<TamValue>>& values);

#endif  // TAM_TOOL_HOSTVALUES_H
