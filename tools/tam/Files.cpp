#include "Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "Diagnostics.h"

namespace fs = std::filesystem;

namespace {

const char kModuleExtension[] = ".rix";

// Input files larger than this are refused: no module or product file comes near it, and reading
// one would only make every later step slow. (Places in parsed text are 32-bit, too.)
constexpr std::uintmax_t kMaxInputFileSize = std::uintmax_t{64} << 20;

[[noreturn]] void failWrite(const std::string& target, const std::string& message) {
  throw ToolError(Diagnostic::error(SourcePlace::fileOnly(target), message), kExitReported);
}

// Writes all of `content` to `fd`, retrying after interruptions and short writes.
bool writeAll(int fd, const std::string& content) {
  std::size_t done = 0;
  while (done < content.size()) {
    ssize_t written = ::write(fd, content.data() + done, content.size() - done);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(written);
  }
  return true;
}

// The file a path finally names: a symbolic link is followed, so that the link stays a link.
std::string resolvedTarget(const std::string& path) {
  std::error_code error;
  if (fs::is_symlink(fs::symlink_status(path, error))) {
    fs::path target = fs::canonical(path, error);
    if (!error) return target.string();
  }
  return path;
}

// Writes one new content to a fresh temporary file beside `target` and returns its name.
std::string writeTemporary(const std::string& target, const std::string& content) {
  struct stat status;
  bool exists = ::stat(target.c_str(), &status) == 0;
  if (exists && !S_ISREG(status.st_mode)) {
    failWrite(target, "cannot write: not a regular file");
  }
  fs::path targetPath(target);
  fs::path folder = targetPath.has_parent_path() ? targetPath.parent_path() : fs::path(".");
  std::string pattern = (folder / ("." + targetPath.filename().string() + ".tam-XXXXXX")).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0) {
    failWrite(target, "cannot create a temporary file in " + folder.string() + ": " +
                          std::strerror(errno));
  }
  std::string temporary(name.data());
  bool ok = writeAll(fd, content) && (!exists || ::fchmod(fd, status.st_mode & 07777) == 0) &&
            ::fsync(fd) == 0;
  int savedErrno = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    savedErrno = errno;
  }
  if (!ok) {
    ::unlink(temporary.c_str());
    failWrite(target, std::string("cannot write the new content: ") + std::strerror(savedErrno));
  }
  return temporary;
}

}  // namespace

bool readTextFile(const std::string& path, std::string& text, std::string& problem) {
  if (isDirectory(path)) {
    problem = "cannot read the file: it is a directory";
    return false;
  }
  std::error_code sizeError;
  const std::uintmax_t size = fs::file_size(path, sizeError);
  if (!sizeError && size > kMaxInputFileSize) {
    problem = "the file is too large to be read (" + std::to_string(size) +
              " bytes; files of up to " + std::to_string(kMaxInputFileSize >> 20) +
              " MiB are read)";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    problem = std::string("cannot read the file: ") + std::strerror(errno);
    return false;
  }
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) {
    problem = "cannot read the file";
    return false;
  }
  text = content.str();
  return true;
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
    const fs::directory_entry& entry = *it;
    std::string name = entry.path().filename().string();
    std::error_code typeError;
    if (entry.path().extension() == kModuleExtension && entry.is_regular_file(typeError)) {
      names.push_back(name);
    }
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

void writeFilesAtomically(const std::vector<FileUpdate>& updates) {
  std::vector<std::string> targets;
  std::vector<std::string> temporaries;
  try {
    for (const FileUpdate& update : updates) {
      std::string target = resolvedTarget(update.path);
      temporaries.push_back(writeTemporary(target, update.content));
      targets.push_back(target);
    }
  } catch (...) {
    for (const std::string& temporary : temporaries) ::unlink(temporary.c_str());
    throw;
  }
  for (std::size_t i = 0; i < temporaries.size(); ++i) {
    if (std::rename(temporaries[i].c_str(), targets[i].c_str()) != 0) {
      std::string reason = std::strerror(errno);
      for (std::size_t j = i; j < temporaries.size(); ++j) ::unlink(temporaries[j].c_str());
      failWrite(targets[i], "cannot replace the file: " + reason + " (" + std::to_string(i) +
                                " of " + std::to_string(temporaries.size()) +
                                " files were already replaced)");
    }
  }
}
