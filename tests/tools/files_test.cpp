// Reading text files whole: every size comes back byte for byte, however it falls against the
// sizes the reader asks for, up to the limit and no further.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include <unistd.h>

#include "Files.h"

namespace {

std::string patterned(std::size_t size) {
  std::string text(size, ' ');
  for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + (i * 7 + i / 97) % 26);
  return text;
}

std::string writeTemporary(const std::string& text) {
  char name[] = "/tmp/tam-files-test-XXXXXX";
  const int fd = ::mkstemp(name);
  EXPECT_GE(fd, 0);
  ::close(fd);
  std::ofstream(name, std::ios::binary) << text;
  return name;
}

TEST(FilesTest, ReadsEverySizeWhole) {
  const std::size_t chunk = 64 * 1024;
  const std::size_t limit = maxFileBytes(TextFileKind::kModule);
  const std::size_t sizes[] = {0,     1,         255,   256,       257,   4096, chunk - 1,
                               chunk, chunk + 1, 3 * chunk + 5, limit - 1, limit};
  for (std::size_t size : sizes) {
    SCOPED_TRACE(size);
    const std::string expected = patterned(size);
    const std::string path = writeTemporary(expected);
    std::string text = "left over";
    Diagnostic problem;
    EXPECT_TRUE(readTextFile(path, TextFileKind::kModule, text, problem)) << problem.message;
    EXPECT_EQ(text.size(), expected.size());
    EXPECT_TRUE(text == expected);
    std::remove(path.c_str());
  }
  // One byte over the limit is refused, naming the limit.
  const std::string path = writeTemporary(patterned(limit + 1));
  std::string text;
  Diagnostic problem;
  EXPECT_FALSE(readTextFile(path, TextFileKind::kModule, text, problem));
  EXPECT_NE(problem.message.find("the file is too large"), std::string::npos) << problem.message;
  std::remove(path.c_str());
}

}  // namespace
