// What a command is done with just before the process ends can be left to the end of the process,
// which returns all memory at once, instead of being torn down object by object (for a large
// product, freeing every module, option, node and value costs a tenth of the run). Only commands
// use this, never the library. Builds under AddressSanitizer (whose leak check would report the
// objects) tear down as usual.
//   leaveToExit(std::move(session));  // the last use of the session
#ifndef TAM_TOOL_FASTEXIT_H
#define TAM_TOOL_FASTEXIT_H

#include <memory>

#if defined(__SANITIZE_ADDRESS__)
#define TAM_TEAR_DOWN_AT_EXIT 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
#define TAM_TEAR_DOWN_AT_EXIT 1
#endif
#endif

template <class T>
void leaveToExit(std::unique_ptr<T> object) {
#ifdef TAM_TEAR_DOWN_AT_EXIT
  object.reset();
#else
  static_cast<void>(object.release());  // the process ends before anyone could free it
#endif
}

#endif  // TAM_TOOL_FASTEXIT_H
