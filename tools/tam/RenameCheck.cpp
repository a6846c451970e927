#include "RenameCheck.h"

#include <memory>
#include <string>

#include "Diagnostics.h"

namespace {

// Installs a session's adapter again when the check ends, since a scratch session installs its
// own and the library knows one adapter at a time.
class AdapterRestore {
 public:
  explicit AdapterRestore(Session& session) : session_(session) {}
  AdapterRestore(const AdapterRestore&) = delete;
  AdapterRestore& operator=(const AdapterRestore&) = delete;
  ~AdapterRestore() { Tam::initialize(&session_.adapter()); }

 private:
  Session& session_;
};

// The first module that does not load, placed in its file; empty when every module loads.
std::string loadProblem(Session& session) {
  for (const auto& entry : session.adapter().moduleFiles()) {
    try {
      session.window()->getModule(entry.first);
    } catch (const TamException& e) {
      if (!session.adapter().failedLoads().empty()) {
        return plainText(session.adapter().describeLoadFailure());
      }
      return plainText(Diagnostic::error(SourcePlace::fileOnly(entry.second.path()),
                                         describeException(e)));
    }
  }
  return "";
}

// The failure of evaluating the tree, placed in its file; empty when it evaluates.
std::string evaluationProblem(Session& session) {
  try {
    session.window()->evaluate(false);
  } catch (const TamException& e) {
    return plainText(session.describeFailure(e));
  }
  return "";
}

[[noreturn]] void refuse(const std::string& problem, const std::string& conclusion) {
  throw ToolError(problem + "tam: error: " + conclusion, kExitReported);
}

}  // namespace

void checkRenamedProduct(Session& session, const std::vector<FileUpdate>& updates,
                         const ProductLock* held) {
  AdapterRestore restore(session);
  std::string before = loadProblem(session);
  if (!before.empty()) {
    refuse(before, "the product does not load as it is; nothing was renamed");
  }
  const bool evaluatedBefore = evaluationProblem(session).empty();

  Session::ReplacedTexts texts;
  for (const FileUpdate& update : updates) texts[update.path] = update.content;
  const std::string conclusion =
      "the renamed files would break the product (shown above as they would read); nothing was "
      "written";
  std::unique_ptr<Session> renamed;
  try {
    renamed = std::make_unique<Session>(session.product().path(), held, &texts);
    renamed->buildTree({});
  } catch (const ToolError& e) {
    refuse(plainText(e), conclusion);
  }
  std::string after = loadProblem(*renamed);
  if (after.empty() && evaluatedBefore) after = evaluationProblem(*renamed);
  if (!after.empty()) refuse(after, conclusion);
}
