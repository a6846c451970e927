#include "tam/TamException.h"

void (*TamException::throwCallback)(int) = nullptr;

TamException::TamException(int code, const std::string& info, const std::string& context,
                           const std::string& extrainfo2)
    : code_(code), info_(info), context_(context), extrainfo2_(extrainfo2) {
  init(code);
}

TamException::TamException(int code, int line, const std::string& info,
                           const std::string& context, const std::string& extrainfo2)
    : code_(code), line_(line), info_(info), context_(context), extrainfo2_(extrainfo2) {
  init(code);
}

// Called by the constructors only, so a copy made while the exception travels to its handler
// does not report it a second time.
void TamException::init(int code) {
  if (throwCallback) throwCallback(code);
}

void TamException::setThrowCallback(void (*callback)(int)) { throwCallback = callback; }

TamSyntaxError::TamSyntaxError(const std::string& message, const std::string& context, int line)
    : TamException(kCode, line, message, context, std::string()) {}
