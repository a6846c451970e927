// TamExpRoot is a module's parsed rules: it owns the statement list (which may be empty) and runs
// it over a selected option set. Made by the rule parser; shared through handles.
#ifndef TAM_TAMEXPROOT_H
#define TAM_TAMEXPROOT_H

#include <string>
#include <vector>

#include "tam/TamExport.h"
#include "tam/TamRixExp.h"

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

 private:
  friend class TamModule;
  friend class TamRuleParser;
  TamExpRoot();
  // Takes ownership of body.
  TamExpRoot(const TamExp* body, const std::string& rix, const std::vector<TamOptionExp*>& refs);

  TamExp* body_ = nullptr;
};

#endif  // TAM_TAMEXPROOT_H
