// TamRixExp is the common base of the two parsed roots: it keeps the RIX text the tree was parsed
// from and the list of every option reference in it (borrowed from the tree's nodes, valid as long
// as the tree). Roots are shared through handles; destroying a root destroys its whole tree.
#ifndef TAM_TAMRIXEXP_H
#define TAM_TAMRIXEXP_H

#include <set>
#include <string>
#include <vector>

#include "tam/TamExport.h"
#include "tam/TamOption.h"
#include "tam/ref_count.h"

class TamOptionExp;
class TamWindow;

class TAM_API TamRixExp : public ref_count {
 public:
  ~TamRixExp() override;

  const std::string& rix() const { return rix_; }
  // Resolves every option reference against the window and adds it to out, in text order.
  // A reference that cannot be resolved raises the lookup's failure (302 or 102).
  void referencedOptions(const ref_count_ptr<TamWindow>& window,
                         std::set<ref_count_ptr<TamOption>>& out) const;

 protected:
  TamRixExp();
  TamRixExp(const std::string& rix, const std::vector<TamOptionExp*>& optionRefs);

 private:
  std::string rix_;
  std::vector<TamOptionExp*> optionRefs_;
};

#endif  // TAM_TAMRIXEXP_H
