// The statement nodes of parsed RIX rules: statement lists, if/elif/else, set and fix, messages
// and the two mutually exclusive checks. Owned by their parent node or by the TamExpRoot (the
// parser places them in the root's arena, see RuleArena); every pointer field owns its node.
// execute() runs the node's own work and stamps the statement's RIX line into a TamException
// that has none, so the innermost statement that knows its line is reported.
//
// Every statement also knows where it stands in the rules text: the offset of its first token
// ("set", "fix", "if" or "elif", "inform", "warn", "error", "mutually_exclusive") and the offset
// just past its last token; an if also knows its "elif"/"else" and "endif" tokens. Offsets are
// 32-bit (TamSourcePos::kNoOffset when not recorded); the owning root's TamRixExp::position()
// turns them into lines and columns. The line() stamped into exceptions stays the line the lexer
// counted, which may differ (see TamRuleParser).
#ifndef TAM_SRC_RULES_TAMEXP_H
#define TAM_SRC_RULES_TAMEXP_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "rules/TamOptionExp.h"
#include "rules/TamValueExp.h"
#include "tam/Tam.h"
#include "tam/TamSourcePos.h"

class TamSelOptionSet;

namespace tam {
namespace detail {
class NodeTrace;
}  // namespace detail
}  // namespace tam

class TamExp : public tam::detail::ArenaNode {
 public:
  explicit TamExp(int line) : line_(line) {}
  virtual ~TamExp() = default;
  TamExp(const TamExp&) = delete;
  TamExp& operator=(const TamExp&) = delete;

  virtual void execute(TamSelOptionSet& sos) const;
  // Never consulted by the library; every node answers false.
  virtual bool isHostFlagged() const { return false; }
  virtual int line() const { return line_; }
  // A printed form of the tree for tests and diagnostics.
  virtual std::string dump() const = 0;

  // The statement's first token and the offset just past its last one.
  std::uint32_t beginOffset() const { return begin_; }
  std::uint32_t endOffset() const { return end_; }
  void setSourceRange(std::size_t begin, std::size_t end) {
    begin_ = TamSourcePos::narrow(begin);
    end_ = TamSourcePos::narrow(end);
  }

 protected:
  virtual void executeNode(TamSelOptionSet& sos) const = 0;

 private:
  // execute() under an observer: the statement is the one running, and reports a failure.
  void executeTraced(TamSelOptionSet& sos, tam::detail::NodeTrace& trace) const;

  int line_;
  std::uint32_t begin_ = TamSourcePos::kNoOffset;
  std::uint32_t end_ = TamSourcePos::kNoOffset;
};

// A list keeps its first statement in place and moves to a heap array for a second: most lists
// (the branches of an if) hold one statement, and then cost no allocation of their own.
class TamExpListExp : public TamExp {
 public:
  // The statements in order, as a range that lasts while the list is not changed.
  class Children {
   public:
    Children(TamExp* const* begin, std::size_t size) : begin_(begin), size_(size) {}
    TamExp* const* begin() const { return begin_; }
    TamExp* const* end() const { return begin_ + size_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    TamExp* operator[](std::size_t index) const { return begin_[index]; }

   private:
    TamExp* const* begin_;
    std::size_t size_;
  };

  TamExpListExp() : TamExp(0) {}
  ~TamExpListExp() override;
  // Takes `child`; raises std::bad_alloc and then neither holds it nor changed.
  void add(TamExp* child);
  Children children() const { return Children(data(), size_); }
  std::string dump() const override;

 protected:
  void executeNode(TamSelOptionSet& sos) const override;

 private:
  // The room for size statements: 1 in place, else the heap array's, the power of two at or
  // above size (the array doubles as it fills).
  static std::uint32_t capacityFor(std::uint32_t size);
  TamExp* const* data() const { return size_ <= 1 ? &first_ : heap_; }

  // size_ comes first, in the room the base leaves before the pointer. With at most one
  // statement it is first_; beyond, heap_ holds them all.
  std::uint32_t size_ = 0;
  union {
    TamExp* first_ = nullptr;
    TamExp** heap_;
  };
};

class TamIfExp : public TamExp {
 public:
  TamIfExp(TamValueExp* condition, TamExp* thenExp, TamExp* elseExp, int line)
      : TamExp(line), thenExp_(thenExp), elseExp_(elseExp), condition_(condition) {}
  // Frees an elif chain link by link, without recursing once per elif; never allocates.
  ~TamIfExp() override;
  // Replaces the else part (the previous one is deleted); takes ownership. Lets a parser link a
  // long elif chain in a loop.
  void setElse(TamExp* elseExp);
  std::string dump() const override;

  const TamValueExp* condition() const { return condition_; }
  const TamExp* thenPart() const { return thenExp_; }
  const TamExp* elsePart() const { return elseExp_; }
  // The "elif" or "else" that ends the then part (kNoOffset when neither does), and the "endif"
  // that closes the whole elif chain: every link of a chain ends with it.
  std::uint32_t elseOffset() const { return elseOffset_; }
  std::uint32_t endifOffset() const;
  void setElseOffset(std::size_t offset) { elseOffset_ = TamSourcePos::narrow(offset); }

 protected:
  void executeNode(TamSelOptionSet& sos) const override;

 private:
  std::uint32_t elseOffset_ = TamSourcePos::kNoOffset;
  TamExp* thenExp_;
  TamExp* elseExp_;
  TamValueExp* condition_;
};

class TamSetExp : public TamExp {
 public:
  TamSetExp(TamOptionExp* optionExp, TamValueExp* valueExp, bool fix, int line)
      : TamExp(line), fix_(fix), optionExp_(optionExp), valueExp_(valueExp) {}
  ~TamSetExp() override;
  std::string dump() const override;
  const TamOptionExp* option() const { return optionExp_; }
  const TamValueExp* value() const { return valueExp_; }
  bool isFix() const { return fix_; }

 protected:
  void executeNode(TamSelOptionSet& sos) const override;

 private:
  bool fix_;  // first: it fits in the room the base leaves before the pointers
  TamOptionExp* optionExp_;
  TamValueExp* valueExp_;
};

class TamMsgExp : public TamExp {
 public:
  TamMsgExp(Tam::MsgSeverity severity, TamValueExp* textExp, int line)
      : TamExp(line), severity_(severity), textExp_(textExp) {}
  ~TamMsgExp() override;
  std::string dump() const override;
  Tam::MsgSeverity severity() const { return severity_; }
  const TamValueExp* text() const { return textExp_; }

 protected:
  void executeNode(TamSelOptionSet& sos) const override;

 private:
  Tam::MsgSeverity severity_;
  TamValueExp* textExp_;
};

// At most one value in total among the listed options (code 106).
class TamMEExp : public TamExp {
 public:
  TamMEExp() : TamExp(0) {}
  ~TamMEExp() override;
  void add(TamOptionExp* option) { options_.push_back(option); }
  std::string dump() const override;
  const std::vector<TamOptionExp*>& options() const { return options_; }

 protected:
  void executeNode(TamSelOptionSet& sos) const override;

 private:
  std::vector<TamOptionExp*> options_;
};

// At most one of the listed option/value pairs selected (code 107).
class TamValueMEExp : public TamExp {
 public:
  TamValueMEExp() : TamExp(0) {}
  ~TamValueMEExp() override;
  // Takes both or, when it fails for want of memory, neither (the caller still owns them).
  void add(TamOptionExp* option, TamValueExp* value) {
    options_.push_back(option);
    try {
      valueExps_.push_back(value);
    } catch (...) {
      options_.pop_back();
      throw;
    }
  }
  std::string dump() const override;
  // The option references and the values, pair by pair.
  const std::vector<TamOptionExp*>& options() const { return options_; }
  const std::vector<TamValueExp*>& values() const { return valueExps_; }

 protected:
  void executeNode(TamSelOptionSet& sos) const override;

 private:
  std::vector<TamValueExp*> valueExps_;
  std::vector<TamOptionExp*> options_;
};

// Owns at most one statement tree until it is handed on; frees it otherwise.
template <class T>
class mem_bucket {
 public:
  explicit mem_bucket(T* p = nullptr) : p_(p) {}
  virtual ~mem_bucket() { delete p_; }
  mem_bucket(const mem_bucket&) = delete;
  mem_bucket& operator=(const mem_bucket&) = delete;
  T* release() {
    T* p = p_;
    p_ = nullptr;
    return p;
  }
  T* get() const { return p_; }

 private:
  T* p_;
};

#endif  // TAM_SRC_RULES_TAMEXP_H
