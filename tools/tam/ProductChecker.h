// ProductChecker checks a product file against its module files the way `tam check --product`
// reports it: every node's module must be declared by a module file ("did you mean" the closest
// id), every load-if must parse and is checked like a rule (references, kinds, values), and the
// validator's findings are placed at the statement, declaration or load-if they concern. It builds
// a node tree of its own in a window of its own, loading modules leniently (see FileAdapter), so
// one broken module file does not hide the rest of the product.
#ifndef TAM_TOOL_PRODUCTCHECKER_H
#define TAM_TOOL_PRODUCTCHECKER_H

#include <memory>
#include <vector>

#include "Diagnostics.h"

class FileAdapter;
class Product;

// The adapter must be the installed one and hold the product's module files.
std::vector<Diagnostic> checkProduct(const Product& product, FileAdapter& adapter);

#endif  // TAM_TOOL_PRODUCTCHECKER_H
