// TamRixExp is the common base of the two parsed roots: it keeps the RIX text the tree was parsed
// from and the list of every option reference in it (borrowed from the tree's nodes, valid as long
// as the tree). Roots are shared through handles; destroying a root destroys its whole tree.
// The nodes of the tree keep 32-bit offsets into that text; position() turns one into a line
// and column through a line index built on the first call and kept with the root.
#ifndef TAM_TAMRIXEXP_H
#define TAM_TAMRIXEXP_H

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "tam/TamExport.h"
#include "tam/TamLineIndex.h"
#include "tam/TamOption.h"
#include "tam/TamSourcePos.h"
#include "tam/ref_count.h"

class TamOptionExp;
class TamRuleParser;
class TamWindow;
namespace tam {
namespace detail {
class RuleArena;
}  // namespace detail
}  // namespace tam

class TAM_API TamRixExp : public ref_count {
 public:
  ~TamRixExp() override;

  // The text the tree was parsed from, kept for the root's life. When the parse read part of a
  // larger text the host shared (TamModule::setRixData), the root keeps that text and makes this
  // copy of its part on the first call. Not thread-safe, like position().
  const std::string& rix() const;
  // Resolves every option reference against the window and adds it to out, in text order.
  // A reference that cannot be resolved raises the lookup's failure (302 or 102).
  void referencedOptions(const ref_count_ptr<TamWindow>& window,
                         std::set<ref_count_ptr<TamOption>>& out) const;
  // The same appended to a list, one handle per reference in text order, repeats included: for
  // a caller that only needs every reference to resolve, or sorts the list itself.
  void referencedOptions(const ref_count_ptr<TamWindow>& window,
                         std::vector<ref_count_ptr<TamOption>>& out) const;

  // The line and column of an offset into rix() (every line feed counts); the unknown place for
  // kNoOffset or an offset past the end. Not thread-safe, like the rest of the library: the
  // first call builds the line index.
  TamSourcePos position(std::uint32_t offset) const;

 protected:
  TamRixExp();
  // rix is the part of *text the tree was parsed from.
  TamRixExp(std::shared_ptr<const std::string> text, std::string_view rix,
            std::vector<TamOptionExp*> optionRefs);

 private:
  friend class TamRuleParser;

  std::shared_ptr<const std::string> text_;  // null for a root made without a parse
  std::string_view rix_;                     // within *text_
  mutable std::unique_ptr<const std::string> rixCopy_;  // when rix_ is only a part of *text_
  std::vector<TamOptionExp*> optionRefs_;
  mutable std::unique_ptr<TamLineIndex> lines_;  // built on the first position() call
  // The memory of the tree's nodes, freed after the derived root has deleted its tree.
  std::unique_ptr<tam::detail::RuleArena> arena_;
};

#endif  // TAM_TAMRIXEXP_H
