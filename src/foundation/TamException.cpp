#include "tam/TamException.h"

#include <atomic>

namespace {

// The host's throw callback, read by every thread that constructs an exception.
std::atomic<void (*)(int)> throwCallback{nullptr};

}  // namespace

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
  if (void (*callback)(int) = throwCallback.load()) callback(code);
}

void TamException::setThrowCallback(void (*callback)(int)) { throwCallback.store(callback); }

TamSyntaxError::TamSyntaxError(const std::string& message, const std::string& context, int line)
    : TamException(kCode, line, message, context, std::string()) {}
