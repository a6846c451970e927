#include "FileCommit.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <set>
#include <system_error>

#include "CommitJournal.h"
#include "Diagnostics.h"
#include "ProductLock.h"

namespace fs = std::filesystem;

namespace {

const char kTemporarySuffix[] = ".tam-new";
const char kJournalNewSuffix[] = ".new";
const mode_t kJournalMode = 0644;
const mode_t kPermissionBits = 07777;
const mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;
// A journal names a few paths per file; anything larger is not one.
const std::size_t kMaxJournalBytes = 64u * 1024 * 1024;
// The signals a user or a supervisor sends to stop a command; a commit holds them.
const int kHeldSignals[] = {SIGINT, SIGTERM, SIGHUP};
// The test hook: "N" stops the process with SIGKILL when the commit reaches its step N, as a kill
// from outside would; "N:TERM", "N:INT" and "N:HUP" send that signal instead. The command tests
// stop a commit at every step in turn this way; without the variable a commit never stops.
const char kStopVariable[] = "TAM_TEST_COMMIT_STOP";

struct SignalName {
  int signal;
  const char* name;
};
const SignalName kSignalNames[] = {
    {SIGINT, "INT"}, {SIGTERM, "TERM"}, {SIGHUP, "HUP"}, {SIGKILL, "KILL"}};

std::string signalName(int signal) {
  for (const SignalName& entry : kSignalNames) {
    if (entry.signal == signal) return std::string("SIG") + entry.name;
  }
  return "signal " + std::to_string(signal);
}

// A path for messages: relative to the working folder when it lies below it.
std::string shown(const std::string& path) {
  std::error_code error;
  fs::path relative = fs::path(path).lexically_relative(fs::current_path(error));
  if (error || relative.empty() || *relative.begin() == "..") return path;
  return relative.string();
}

[[noreturn]] void fail(const std::string& path, const std::string& message) {
  throw ToolError(path + ": error: " + message, kExitReported);
}

std::string reason() { return std::strerror(errno); }

bool writeAll(int fd, const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    ssize_t written = ::write(fd, data + done, size - done);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(written);
  }
  return true;
}

bool readAll(int fd, std::size_t limit, std::string& text) {
  char buffer[64 * 1024];
  text.clear();
  for (;;) {
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) return true;
    text.append(buffer, static_cast<std::size_t>(got));
    if (text.size() > limit) {
      errno = EFBIG;
      return false;
    }
  }
}

bool readFile(const std::string& path, std::size_t limit, std::string& text) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = readAll(fd, limit, text);
  int saved = errno;
  ::close(fd);
  errno = saved;
  return ok;
}

bool exists(const std::string& path) {
  struct stat status;
  return ::lstat(path.c_str(), &status) == 0;
}

// Makes a rename or removal in a folder durable. Some file systems cannot flush a folder; they
// keep the order of such changes anyway, so a failure here is not one of the commit.
void syncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

std::string folderOf(const std::string& path) { return fs::path(path).parent_path().string(); }

// Holds SIGINT, SIGTERM and SIGHUP for the life of the object, so that the commit decides when a
// stop takes effect. A signal the thread held already belongs to whoever held it (tam serve takes
// its stop signals in a thread of their own): it is left alone.
class SignalHold {
 public:
  SignalHold() {
    sigemptyset(&held_);
    for (int signal : kHeldSignals) sigaddset(&held_, signal);
    ::pthread_sigmask(SIG_BLOCK, &held_, &previous_);
  }
  SignalHold(const SignalHold&) = delete;
  SignalHold& operator=(const SignalHold&) = delete;
  ~SignalHold() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

  // Takes a held signal that arrived and returns it; 0 when none did.
  int take() {
    sigset_t pending;
    sigemptyset(&pending);
    ::sigpending(&pending);
    for (int signal : kHeldSignals) {
      if (sigismember(&previous_, signal) == 1) continue;
      if (sigismember(&pending, signal) != 1) continue;
      sigset_t one;
      sigemptyset(&one);
      sigaddset(&one, signal);
      const struct timespec now = {0, 0};
      ::sigtimedwait(&one, nullptr, &now);
      return signal;
    }
    return 0;
  }

  // Before the moment of the commit: a stop that was asked for ends it.
  void stopIfAsked() {
    int signal = take();
    if (signal != 0) {
      throw ToolError("tam: interrupted by " + signalName(signal) + "; nothing was written",
                      128 + signal);
    }
  }

 private:
  sigset_t held_;
  sigset_t previous_;
};

// Counts the steps of a commit and stops the process at the one the test hook names.
class CommitSteps {
 public:
  // Steps of a commit heed the test hook; those of settling an interrupted commit do not.
  explicit CommitSteps(bool heedTestHook) {
    const char* value = heedTestHook ? std::getenv(kStopVariable) : nullptr;
    if (value == nullptr) return;
    char* end = nullptr;
    stopAt_ = std::strtol(value, &end, 10);
    if (*end == ':') {
      for (const SignalName& entry : kSignalNames) {
        if (std::strcmp(end + 1, entry.name) == 0) signal_ = entry.signal;
      }
    }
  }

  void reached(const std::string& step) {
    if (++count_ != stopAt_) return;
    std::cerr << "tam: test stop at commit step " << count_ << " (" << step << ") with "
              << signalName(signal_) << "\n";
    ::kill(::getpid(), signal_);
  }

 private:
  long count_ = 0;
  long stopAt_ = 0;
  int signal_ = SIGKILL;
};

// One file of the commit: as the command named it and as it is on the disk.
struct Target {
  std::string path;      // as given, for messages
  std::string resolved;  // absolute, symbolic links followed
  struct stat status;
  JournalEntry::Method method = JournalEntry::Method::kRename;
  std::string temporary;
  bool temporaryCreated = false;
};

bool canWriteInPlace(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

Target checkTarget(const FileUpdate& update, const CommitOptions& options) {
  Target target;
  target.path = update.path;
  std::error_code error;
  target.resolved = fs::canonical(update.path, error).string();
  if (error) fail(update.path, "cannot write: " + error.message());
  if (::stat(target.resolved.c_str(), &target.status) != 0)
    fail(update.path, "cannot write: " + reason());
  if (!S_ISREG(target.status.st_mode)) fail(update.path, "cannot write: not a regular file");
  if (update.basedOn) {
    std::string now;
    if (!readFile(target.resolved, update.basedOn->size() + 1, now) || now != *update.basedOn) {
      fail(update.path,
           "the file was changed by another program since tam read it; nothing was written");
    }
  }
  bool readOnly =
      (target.status.st_mode & kWriteBits) == 0 || ::access(target.resolved.c_str(), W_OK) != 0;
  if (readOnly && !options.force) {
    fail(update.path,
         "the file is read-only; nothing was written (add --force to replace read-only files)");
  }
  if (target.status.st_nlink > 1) {
    target.method = JournalEntry::Method::kOverwrite;
    if (!canWriteInPlace(target.resolved)) {
      fail(update.path, "cannot keep the file's " + std::to_string(target.status.st_nlink) +
                            " hard links, since it cannot be written in place: " + reason() +
                            "; nothing was written");
    }
  }
  fs::path resolved(target.resolved);
  target.temporary =
      (resolved.parent_path() / ("." + resolved.filename().string() + kTemporarySuffix)).string();
  return target;
}

std::vector<Target> checkTargets(const std::vector<FileUpdate>& updates,
                                 const CommitOptions& options) {
  std::vector<Target> targets;
  std::set<std::string> seen;
  for (const FileUpdate& update : updates) {
    targets.push_back(checkTarget(update, options));
    if (!seen.insert(targets.back().resolved).second) {
      fail(update.path, "the file is named twice in one commit (through a symbolic link?)");
    }
  }
  return targets;
}

// Gives the new file the target's owner and group, or, when this process may not, switches the
// target to being written in place, which keeps them.
void keepOwner(int fd, Target& target) {
  if (target.status.st_uid == ::geteuid() && target.status.st_gid == ::getegid()) return;
  if (::fchown(fd, target.status.st_uid, target.status.st_gid) == 0) return;
  if (canWriteInPlace(target.resolved)) {
    target.method = JournalEntry::Method::kOverwrite;
    return;
  }
  fail(target.path, "cannot keep the file's owner (user " + std::to_string(target.status.st_uid) +
                        ", group " + std::to_string(target.status.st_gid) +
                        "): run tam as that user or as root; nothing was written");
}

void writeTemporary(Target& target, const std::string& content, CommitSteps& steps) {
  int fd = ::open(target.temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                  S_IRUSR | S_IWUSR);
  if (fd < 0 && errno == EEXIST) {
    fail(target.path, "the temporary file " + shown(target.temporary) +
                          " exists already (a tam working on another product that shares this "
                          "folder?); nothing was written");
  }
  if (fd < 0) {
    fail(target.path, "cannot create a temporary file in " + shown(folderOf(target.temporary)) +
                          ": " + reason());
  }
  target.temporaryCreated = true;
  const std::size_t half = content.size() / 2;
  bool ok = writeAll(fd, content.data(), half);
  if (ok) steps.reached(target.path + ": new content half written");
  ok = ok && writeAll(fd, content.data() + half, content.size() - half);
  if (ok && target.method == JournalEntry::Method::kRename) {
    try {
      keepOwner(fd, target);
    } catch (...) {
      ::close(fd);
      throw;
    }
    ok = ::fchmod(fd, target.status.st_mode & kPermissionBits) == 0;
  }
  ok = ok && ::fsync(fd) == 0;
  int saved = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (!ok) fail(target.path, std::string("cannot write the new content: ") + std::strerror(saved));
  steps.reached(target.path + ": new content written");
}

const char* stateName(CommitJournal::State state) {
  return state == CommitJournal::State::kPrepared ? "prepared" : "committed";
}

// Writes the journal beside its place, then renames it there, so that it is always whole.
void writeJournal(const ProductLock& lock, const CommitJournal& journal, CommitSteps& steps) {
  const std::string next = lock.journalPath() + kJournalNewSuffix;
  const std::string text = journal.text();
  int fd =
      ::open(next.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, kJournalMode);
  bool ok = fd >= 0 && writeAll(fd, text.data(), text.size()) && ::fsync(fd) == 0;
  int saved = errno;
  if (fd >= 0 && ::close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (!ok) {
    fail(shown(lock.journalPath()),
         std::string("cannot write the commit journal: ") + std::strerror(saved));
  }
  steps.reached(std::string("journal ") + stateName(journal.state) + " written beside its place");
  if (::rename(next.c_str(), lock.journalPath().c_str()) != 0) {
    fail(shown(lock.journalPath()), "cannot put the commit journal in place: " + reason());
  }
  syncFolder(folderOf(lock.journalPath()));
  steps.reached(std::string("journal ") + stateName(journal.state));
}

void removeJournal(const ProductLock& lock) {
  ::unlink((lock.journalPath() + kJournalNewSuffix).c_str());
  ::unlink(lock.journalPath().c_str());
  syncFolder(folderOf(lock.journalPath()));
}

// Copies the new content into the target itself, which keeps its inode.
bool copyInto(const std::string& temporary, const std::string& target, const std::string& shownPath,
              CommitSteps& steps) {
  std::string content;
  if (!readFile(temporary, static_cast<std::size_t>(-1), content)) return false;
  int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  const std::size_t half = content.size() / 2;
  bool ok = writeAll(fd, content.data(), half);
  if (ok) steps.reached(shownPath + ": half written in place");
  ok = ok && writeAll(fd, content.data() + half, content.size() - half) && ::fsync(fd) == 0;
  int saved = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  errno = saved;
  return ok && ::unlink(temporary.c_str()) == 0;
}

// Puts every new content of a committed journal in place. A temporary file that is gone was put
// in place already. Throws ToolError (kExitReported) for a file that cannot be put in place.
void finish(const CommitJournal& journal, CommitSteps& steps) {
  std::set<std::string> folders;
  for (const JournalEntry& entry : journal.entries) {
    const std::string path = shown(entry.target);
    if (!exists(entry.temporary)) continue;
    bool ok = entry.method == JournalEntry::Method::kRename
                  ? ::rename(entry.temporary.c_str(), entry.target.c_str()) == 0
                  : copyInto(entry.temporary, entry.target, path, steps);
    if (!ok) {
      fail(path, "cannot put the new content in place: " + reason() +
                     "; the commit is recorded and the next tam run on the product finishes it");
    }
    folders.insert(folderOf(entry.target));
    steps.reached(path + " replaced");
  }
  for (const std::string& folder : folders) syncFolder(folder);
}

void undo(const ProductLock& lock, const std::vector<Target>& targets) {
  for (const Target& target : targets) {
    if (target.temporaryCreated) ::unlink(target.temporary.c_str());
  }
  removeJournal(lock);
}

}  // namespace

void commitFiles(const ProductLock& lock, const std::vector<FileUpdate>& updates,
                 const CommitOptions& options) {
  if (!lock.exclusive()) {
    throw ToolError(
        "tam: error: internal: " + lock.productPath() + " is written without holding its lock",
        kExitReported);
  }
  if (updates.empty()) return;
  SignalHold signals;
  CommitSteps steps(true);
  std::vector<Target> targets = checkTargets(updates, options);
  CommitJournal journal;
  journal.command = options.command;
  try {
    for (const Target& target : targets) {
      journal.entries.push_back({target.resolved, target.temporary, target.method});
    }
    writeJournal(lock, journal, steps);
    signals.stopIfAsked();
    for (std::size_t i = 0; i < targets.size(); ++i) {
      writeTemporary(targets[i], updates[i].content, steps);
      journal.entries[i].method = targets[i].method;
      signals.stopIfAsked();
    }
    journal.state = CommitJournal::State::kCommitted;
    writeJournal(lock, journal, steps);
  } catch (...) {
    undo(lock, targets);
    throw;
  }
  // From here on the commit stands: a stop only takes effect once it is finished.
  finish(journal, steps);
  removeJournal(lock);
  steps.reached("journal removed");
  signals.take();
}

bool commitInterrupted(const ProductLock& lock) {
  return exists(lock.journalPath()) || exists(lock.journalPath() + kJournalNewSuffix);
}

std::string recoverCommit(const ProductLock& lock) {
  if (!lock.exclusive()) {
    throw ToolError(
        "tam: error: internal: " + lock.productPath() + " is settled without holding its lock",
        kExitReported);
  }
  const std::string product = lock.productPath();
  if (!exists(lock.journalPath())) {
    const std::string first = lock.journalPath() + kJournalNewSuffix;
    if (!exists(first)) return "";
    // Stopped before the first journal was in place, so before any temporary file was created.
    std::string text;
    std::string problem;
    CommitJournal journal;
    journal.command = "commit";
    if (readFile(first, kMaxJournalBytes, text)) CommitJournal::parse(text, journal, problem);
    removeJournal(lock);
    return product + ": undid an interrupted " + journal.command + ": no file was changed";
  }
  std::string text;
  std::string problem;
  CommitJournal journal;
  if (!readFile(lock.journalPath(), kMaxJournalBytes, text))
    problem = "cannot be read: " + reason();
  if (problem.empty() && !CommitJournal::parse(text, journal, problem))
    problem = "is not whole: " + problem;
  if (!problem.empty()) {
    throw ToolError(product + ": error: a change of the product was interrupted, but its journal " +
                        shown(lock.journalPath()) + " " + problem +
                        "; check the files it names, then remove it",
                    kExitUsage);
  }
  const bool one = journal.entries.size() == 1;
  const std::string files = std::to_string(journal.entries.size()) + (one ? " file" : " files");
  if (journal.state == CommitJournal::State::kPrepared) {
    for (const JournalEntry& entry : journal.entries) ::unlink(entry.temporary.c_str());
    removeJournal(lock);
    return product + ": undid an interrupted " + journal.command + ": " + files + " left as " +
           (one ? "it was" : "they were");
  }
  CommitSteps noStops(false);
  try {
    finish(journal, noStops);
  } catch (const ToolError& e) {
    if (!e.diagnostics().empty()) throw ToolError(e.diagnostics(), kExitUsage);
    throw ToolError(std::string(e.what()), kExitUsage);
  }
  removeJournal(lock);
  return product + ": finished an interrupted " + journal.command + ": " + files + " now " +
         (one ? "holds its" : "hold their") + " new content";
}
