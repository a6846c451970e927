// The library's validator run over a product tree, with its findings reported as diagnostics at
// the place each concerns: the statement whose reference reaches an option it cannot see, the
// declaration of a presented option, the node's load-if in the product file. Findings about legacy
// options are left out: the host keeps them, and every module may read and set them. A module's
// rule finding repeats at every node of that module; it is reported once, naming the first node.
//
// The validator stops at the first reference it cannot resolve. So that it can judge all the
// others, each reference to an option that does not exist gets a stand-in first: a legacy option
// of that name (and an empty module, when the module does not exist either) in the window, which
// is then fit only for validation. Those references are reported as errors of their own.
#ifndef TAM_TOOL_SCOPEFINDINGS_H
#define TAM_TOOL_SCOPEFINDINGS_H

#include <tam/libtam.h>

#include <vector>

#include "Diagnostics.h"

class FileAdapter;
class Product;
class ProductNode;

struct ScopeCheck {
  std::vector<Diagnostic> unresolved;  // references to options or modules that do not exist
  std::vector<Diagnostic> findings;    // options used where they are not visible
};

// Validates the tree below root (nodes: all of it, root first). Module files that fail to load
// end the validation with their first problem, in `unresolved`.
ScopeCheck checkScopes(ProductNode* root, const std::vector<ProductNode*>& nodes,
                       const Product& product, FileAdapter& adapter,
                       const ref_count_ptr<TamWindow>& window);

#endif  // TAM_TOOL_SCOPEFINDINGS_H
