// TamExpRoot is a module's parsed rules: it owns the statement list (which may be empty) and runs
// it over a selected option set. Made by the rule parser; shared through handles.
// Reading rules stops at the end of the text or at a stray top-level "endif", "else" or "elif";
// whatever follows such a token is never read. stopOffset() tells where that happened.
#ifndef TAM_TAMEXPROOT_H
#define TAM_TAMEXPROOT_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tam/TamExport.h"
#include "tam/TamRixExp.h"
#include "tam/TamRixOutline.h"

class TamExp;
class TamSelOptionSet;
class TamModule;
class TamRuleParser;

class TAM_API TamExpRoot : public TamRixExp {
 public:
  ~TamExpRoot() override;
  // Runs the statements in order; an exception stops the run, leaving what was set so far.
  virtual void execute(TamSelOptionSet& sos);
  // The statement list, null when the text held no statement. Owned by this root.
  const TamExp* body() const { return body_; }
  // The offset of the stray "endif", "else" or "elif" at which reading stopped before the end of
  // the text; TamSourcePos::kNoOffset when the whole text was read.
  std::uint32_t stopOffset() const { return stopOffset_; }
  // A read-only outline of the statements with their places (TamRixOutline::fromRoot).
  TamRixOutline outline() const { return TamRixOutline::fromRoot(*this); }

 private:
  friend class TamModule;
  friend class TamRuleParser;
  TamExpRoot();
  // Takes ownership of body.
  TamExpRoot(const TamExp* body, std::shared_ptr<const std::string> text,
             std::string_view rix, std::vector<TamOptionExp*> refs);

  TamExp* body_ = nullptr;
  std::uint32_t stopOffset_ = TamSourcePos::kNoOffset;
};

#endif  // TAM_TAMEXPROOT_H
