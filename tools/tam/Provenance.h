// Provenance reads an EvaluationRecord kept with history and answers how an option's values at a
// node came to be: the steps that made the option's entry at the node, oldest first, across the
// node and its ancestors, and which step brought each value.
//
// It follows the way a selected option set flows down the tree: a node starts from its parent's
// result; a node whose module declares options keeps, for each option of its module, only the
// entry written for the path that best matches its position (the record says which, when that is
// not the node's own entry) and drops every other module's entries; values presented for the
// option, and values a used option inherits from an ancestor, bring the history of the option
// they came from. Stores that changed nothing (refused, unchanged) are part of the history too.
#ifndef TAM_TOOL_PROVENANCE_H
#define TAM_TOOL_PROVENANCE_H

#include <tam/libtam.h>

#include <cstddef>
#include <vector>

#include "EvaluationRecord.h"

class Provenance {
 public:
  using Step = EvaluationRecord::ValueStep;

  explicit Provenance(const EvaluationRecord& record) : record_(record) {}

  // The steps that made the option's entry (the one for the empty path) at the node, oldest
  // first; empty when the node's rules never ran or nothing touched the option there.
  std::vector<const Step*> history(const TamNode* node,
                                   const ref_count_ptr<TamOption>& option) const;

  // For each value of `entry`, the step of `history` that brought it: the latest that stored,
  // replaced or added a value of the same text, or created the default, looking through steps
  // that only carried values from elsewhere (presented values, path entries). An inherited value
  // is brought by the inheriting step. Null where no step did.
  static std::vector<const Step*> origins(const std::vector<const Step*>& history,
                                          const TamSelOptionSet::TamSosEntry& entry);

  // The nearest ancestor (or the node itself) whose evaluation was stopped, or which was never
  // evaluated below an evaluated parent; null when the node and all above it ran.
  const TamNode* stoppedAt(const TamNode* node) const;

 private:
  const EvaluationRecord& record_;
};

#endif  // TAM_TOOL_PROVENANCE_H
