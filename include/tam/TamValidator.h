// TamValidator checks a node tree statically, without evaluating it: every option a load-if
// condition or a module's rules refer to must be visible where it is used, and every presented
// option must rest on a visible base at a module-boundary node of the base's module. Findings
// accumulate in errors() across calls; exceptions of the lookups it makes pass through.
// Below a module-boundary node, a node sees the options of the boundary's module and the public
// options of the next boundaries down. Boundary paths are recorded outermost first, the same
// order in which presented options write their paths, so paths of any length compare as written.
// A start node that is a module boundary and has a parent has its load-if judged against the
// scope it would inherit in a walk from the root: the one collected at its nearest ancestor that
// is a module boundary, or at the root when no ancestor is.
#ifndef TAM_TAMVALIDATOR_H
#define TAM_TAMVALIDATOR_H

#include <vector>

#include "tam/TamExport.h"
#include "tam/ValidationError.h"

class TamNode;

class TAM_API TamValidator {
 public:
  TamValidator() = default;
  ~TamValidator() = default;
  TamValidator(const TamValidator&) = delete;
  TamValidator& operator=(const TamValidator&) = delete;

  void validateNode(TamNode* node, bool recurse);
  const std::vector<ValidationError>& errors() const { return errors_; }

 private:
  std::vector<ValidationError> errors_;
};

#endif  // TAM_TAMVALIDATOR_H
