#include "Files.h"

#include "SourceText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

const char kModuleExtension[] = ".rix";

struct KindInfo {
  TextFileKind kind;
  std::size_t maxBytes;
  const char* name;
};

const KindInfo kKinds[] = {{TextFileKind::kProduct, kMaxProductFileBytes, "product file"},
                           {TextFileKind::kModule, kMaxModuleFileBytes, "module file"}};

const KindInfo& infoOf(TextFileKind kind) {
  for (const KindInfo& info : kKinds) {
    if (info.kind == kind) return info;
  }
  return kKinds[0];
}

// What a file that is not a regular file is, in words.
const char* typeName(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO (named pipe)";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

// Closes a descriptor when it goes out of scope.
class OpenFile {
 public:
  explicit OpenFile(int fd) : fd_(fd) {}
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  ~OpenFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  int fd() const { return fd_; }

 private:
  int fd_;
};

std::string sizeText(std::size_t bytes) {
  const std::size_t mebibyte = 1024 * 1024;
  std::string text = std::to_string(bytes) + " bytes";
  if (bytes % mebibyte == 0) text += " (" + std::to_string(bytes / mebibyte) + " MiB)";
  return text;
}

bool refuse(const std::string& path, const std::string& message, Diagnostic& problem) {
  problem = Diagnostic::error(SourcePlace::fileOnly(path), message);
  return false;
}

// Reads at most `limit` + 1 bytes, so that a file that grows while it is read, or whose size the
// system does not know in advance, is still caught by the limit. `expected` is the size the file
// had when opened: the first read asks for one byte more, so that a file that did not change is
// read whole by one call and seen to end by a second, small one, without clearing buffer space
// it never fills.
bool readAtMost(int fd, std::size_t limit, std::size_t expected, std::string& text,
                int& error) {
  const std::size_t chunk = 64 * 1024;  // what each later read asks for while the file grows
  constexpr std::size_t kProbe = 256;   // what a read after a short one asks for
  text.clear();
  std::size_t want = std::min(expected, limit) + 1;
  // After a short read the end is most likely reached: that read goes to a buffer of its own, so
  // that the text does not grow (and keep twice its size) only to learn that nothing follows.
  char probed[kProbe];
  while (text.size() <= limit) {
    const std::size_t at = text.size();
    const std::size_t asked = std::min(want, limit + 1 - at);
    const bool probing = want == kProbe;
    if (!probing) text.resize(at + asked);
    const ssize_t got = ::read(fd, probing ? probed : &text[at], asked);
    if (got < 0) {
      text.resize(at);
      if (errno == EINTR) continue;
      error = errno;
      return false;
    }
    if (probing) {
      text.append(probed, static_cast<std::size_t>(got));
    } else {
      text.resize(at + static_cast<std::size_t>(got));
    }
    if (got == 0) break;
    want = static_cast<std::size_t>(got) == asked ? chunk : kProbe;
  }
  return true;
}

}  // namespace

std::size_t maxFileBytes(TextFileKind kind) { return infoOf(kind).maxBytes; }

const char* fileKindName(TextFileKind kind) { return infoOf(kind).name; }

bool readTextFile(const std::string& path, TextFileKind kind, std::string& text,
                  Diagnostic& problem) {
  const KindInfo& info = infoOf(kind);
  // Non-blocking, so that opening a FIFO returns at once instead of waiting for a writer.
  OpenFile file(::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (file.fd() < 0) {
    return refuse(path, std::string("cannot read the file: ") + std::strerror(errno), problem);
  }
  struct stat status;
  if (::fstat(file.fd(), &status) != 0) {
    return refuse(path, std::string("cannot read the file: ") + std::strerror(errno), problem);
  }
  if (!S_ISREG(status.st_mode)) {
    return refuse(path,
                  std::string("cannot read the file: it is ") + typeName(status.st_mode) +
                      ", not a regular file",
                  problem);
  }
  std::string tooLarge = "the file is too large: " + std::string(info.name) + "s are limited to " +
                         sizeText(info.maxBytes);
  if (static_cast<std::size_t>(status.st_size) > info.maxBytes) {
    return refuse(path, tooLarge + ", and it holds " + sizeText(status.st_size), problem);
  }
  int error = 0;
  std::string content;
  if (!readAtMost(file.fd(), info.maxBytes, static_cast<std::size_t>(status.st_size), content,
                  error)) {
    return refuse(path, std::string("cannot read the file: ") + std::strerror(error), problem);
  }
  if (content.size() > info.maxBytes) return refuse(path, tooLarge, problem);
  std::size_t nul = content.find('\0');
  if (nul != std::string::npos) {
    // Placed with the file's line index, and shown as the place of the byte.
    problem = Diagnostic::error(SourceText(path, content).place(nul, nul + 1),
                                "NUL byte at byte offset " + std::to_string(nul) + ": a " +
                                    info.name + " must be text");
    return false;
  }
  text = std::move(content);
  return true;
}

std::string readTextFile(const std::string& path, TextFileKind kind) {
  std::string text;
  Diagnostic problem;
  if (!readTextFile(path, kind, text, problem)) throw ToolError(problem, kExitUsage);
  return text;
}

bool listModuleFiles(const std::string& folder, std::vector<std::string>& files,
                     std::string& problem) {
  std::error_code error;
  fs::directory_iterator it(folder, error);
  if (error) {
    problem = "cannot list the folder: " + error.message();
    return false;
  }
  std::vector<std::string> names;
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) break;
    const fs::path& entry = it->path();
    if (entry.extension() == kModuleExtension) names.push_back(entry.filename().string());
  }
  if (error) {
    problem = "cannot list the folder: " + error.message();
    return false;
  }
  std::sort(names.begin(), names.end());
  files.clear();
  for (const std::string& name : names) files.push_back((fs::path(folder) / name).string());
  return true;
}

bool isDirectory(const std::string& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}
