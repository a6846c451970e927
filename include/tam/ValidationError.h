// A ValidationError is one finding of the validator: what was found, at which host node (borrowed)
// and about which option (held through a handle).
#ifndef TAM_VALIDATIONERROR_H
#define TAM_VALIDATIONERROR_H

#include "tam/TamExport.h"
#include "tam/TamOption.h"
#include "tam/ref_count.h"

class TamNode;

class TAM_API ValidationError {
 public:
  enum ErrorCode {
    VE_PRESENTED_BASE_NOT_IN_SCOPE = 0,
    VE_PRESENTED_PATH_NOT_FOUND = 1,
    VE_RULE_OPTION_NOT_IN_SCOPE = 2,
    VE_LOADIF_OPTION_NOT_IN_SCOPE = 3
  };

  ValidationError(ErrorCode code, TamNode* node, const ref_count_ptr<TamOption>& option)
      : code_(code), node_(node), option_(option) {}

  ErrorCode code() const { return code_; }
  TamNode* node() const { return node_; }
  ref_count_ptr<TamOption> option() const { return option_; }

 private:
  ErrorCode code_;
  TamNode* node_;
  ref_count_ptr<TamOption> option_;
};

#endif  // TAM_VALIDATIONERROR_H
