// TamException is the one exception type the library throws, by value; catch it by reference.
// `code` tells the family (1-3 misuse, 10 syntax, 101-113 model and selection, 202-204 values,
// 301-309 window/module/node, 500 a message refused by the host). `line` is the RIX line at fault,
// `node` the host node whose evaluation failed (not owned), and three texts carry details.
// A host may install one throw callback that is told the code of every exception the library
// constructs (once per construction, never on copy). The callback is process-wide and is called
// on whichever thread constructs the exception, so it must be safe to call from several threads
// at once; installing it is atomic.
// TamSyntaxError (code 10) carries a message, the source context with a caret line, and the line.
#ifndef TAM_TAMEXCEPTION_H
#define TAM_TAMEXCEPTION_H

#include <string>

#include "tam/TamExport.h"

class TamNode;

class TAM_API TamException {
 public:
  TamException() = default;
  TamException(int code, const std::string& info, const std::string& context,
               const std::string& extrainfo2);
  TamException(int code, int line, const std::string& info, const std::string& context,
               const std::string& extrainfo2);
  TamException(const TamException& other) = default;
  TamException& operator=(const TamException& other) = default;

  int code() const { return code_; }
  int line() const { return line_; }
  TamNode* node() const { return node_; }
  const std::string& info() const { return info_; }
  const std::string& context() const { return context_; }
  // The same text as context(); there is no separate fourth text.
  const std::string& extrainfo1() const { return context_; }
  const std::string& extrainfo2() const { return extrainfo2_; }

  void setNode(TamNode* node) { node_ = node; }
  void setLine(int line) { line_ = line; }

  // Installs the function told the code of every exception constructed; null removes it.
  static void setThrowCallback(void (*callback)(int));

 private:
  void init(int code);

  int code_ = 0;
  int line_ = 0;
  TamNode* node_ = nullptr;
  std::string info_;
  std::string context_;
  std::string extrainfo2_;
};

class TAM_API TamSyntaxError : public TamException {
 public:
  static constexpr int kCode = 10;
  TamSyntaxError(const std::string& message, const std::string& context, int line);
  TamSyntaxError(const TamSyntaxError& other) = default;
};

#endif  // TAM_TAMEXCEPTION_H
