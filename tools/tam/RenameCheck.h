// Before tam rename writes anything it proves that the product still works from the new texts:
// a scratch session reads the product file and every module file as they would read after the
// rename, so that the library parses every declaration and rule again, builds the node tree with
// its load-ifs and host values, loads every module and evaluates the tree. The product as it is
// goes through the same steps first, so that a problem the rename did not cause is told apart
// from one it would cause.
#ifndef TAM_TOOL_RENAMECHECK_H
#define TAM_TOOL_RENAMECHECK_H

#include <vector>

#include "FileCommit.h"
#include "Session.h"

// Throws ToolError (kExitReported) when the renamed product would not load, or would fail to
// evaluate where the product evaluates now: the problem placed in the new text of its file,
// followed by a line saying that the rename is refused. Throws the same, with a different last
// line, when the product does not load as it is. `session` is the product as it is, its tree
// built; it is the session whose adapter is installed again on return. `held` is the caller's
// lock on the product, as for Session.
void checkRenamedProduct(Session& session, const std::vector<FileUpdate>& updates,
                         const ProductLock* held);

#endif  // TAM_TOOL_RENAMECHECK_H
