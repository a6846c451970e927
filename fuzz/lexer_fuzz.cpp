// Lexes any text to its end, in reading and in recording mode. Recording with no replacement must
// give the input back unchanged.
#include "FuzzHost.h"
#include "rix/TamLexer.h"

namespace {

// A text can hold at most one token per byte, plus the end; more means the lexer is stuck.
bool lexToEnd(TamLexer& lexer, size_t size) {
  for (size_t tokens = 0; tokens <= size + 1; ++tokens) {
    if (lexer.kind() == TOKEN_END || lexer.kind() == TOKEN_INVALID) return true;
    (void)lexer.identifierValue();
    if (lexer.kind() == TOKEN_INT_LIT) (void)lexer.intValue();
    if (lexer.kind() == TOKEN_REAL_LIT) (void)lexer.realValue();
    (void)lexer.errorContext();
    lexer.next();
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tamfuzz::ensureHost();
  std::string text = tamfuzz::asText(data, size);
  try {
    TamLexer lexer(text);
    TAM_FUZZ_CHECK(lexToEnd(lexer, size));
  } catch (const TamException&) {
  }
  try {
    TamLexer recorder(text);
    recorder.setRecording(true);
    if (lexToEnd(recorder, size) && recorder.kind() == TOKEN_END) {
      TAM_FUZZ_CHECK(recorder.finishRecording() == text);
    }
  } catch (const TamException&) {
  }
  return 0;
}
