#include "ProductLock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <thread>

#include "Diagnostics.h"
#include "FileCommit.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const char kLockSuffix[] = ".tam-lock";
const char kJournalSuffix[] = ".tam-journal";
const mode_t kLockFileMode = 0644;
// tryLock's error when the lock was taken on a lock file that another process removed meanwhile.
constexpr int kLockFileReplaced = -1;

std::string beside(const fs::path& product, const char* suffix) {
  return (product.parent_path() / ("." + product.filename().string() + suffix)).string();
}

bool sameFile(int fd, const std::string& path) {
  struct stat open;
  struct stat named;
  return ::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 &&
         open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

// " (process N)" for the writer that holds the lock, when its lock file names a living process.
std::string holder(const std::string& lockPath) {
  std::string text;
  int fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return "";
  char buffer[32] = {};
  ssize_t got = ::read(fd, buffer, sizeof buffer - 1);
  ::close(fd);
  if (got <= 0) return "";
  long pid = std::strtol(buffer, nullptr, 10);
  if (pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM)) return "";
  return " (process " + std::to_string(pid) + ")";
}

std::string seconds(std::chrono::milliseconds wait) {
  long long whole = std::chrono::duration_cast<std::chrono::seconds>(wait).count();
  return std::to_string(whole) + (whole == 1 ? " second" : " seconds");
}

}  // namespace

ProductLock::ProductLock(const std::string& productPath, const std::string& lockPath,
                         const std::string& journalPath)
    : productPath_(productPath), lockPath_(lockPath), journalPath_(journalPath) {}

ProductLock::ProductLock(ProductLock&& other) noexcept { *this = std::move(other); }

ProductLock& ProductLock::operator=(ProductLock&& other) noexcept {
  if (this != &other) {
    release();
    productPath_ = std::move(other.productPath_);
    lockPath_ = std::move(other.lockPath_);
    journalPath_ = std::move(other.journalPath_);
    fd_ = other.fd_;
    mode_ = other.mode_;
    announced_ = other.announced_;
    other.fd_ = -1;
  }
  return *this;
}

ProductLock::~ProductLock() { release(); }

ProductLock ProductLock::acquire(const std::string& productPath, Mode mode,
                                 std::chrono::milliseconds wait) {
  std::error_code error;
  fs::path product = fs::canonical(productPath, error);
  if (error || !fs::is_regular_file(product, error)) return ProductLock();
  ProductLock lock(productPath, beside(product, kLockSuffix), beside(product, kJournalSuffix));
  const Clock::time_point deadline = Clock::now() + wait;
  lock.waitFor(mode, deadline, wait);
  if (commitInterrupted(lock)) {
    if (!lock.exclusive()) lock.settleExclusively(deadline, wait);
    std::string note = recoverCommit(lock);
    if (!note.empty()) std::cerr << "tam: note: " << note << "\n";
  }
  return lock;
}

void ProductLock::settleExclusively(Clock::time_point deadline, std::chrono::milliseconds wait) {
  if (fd_ >= 0) ::close(fd_);  // the shared lock, given up to be taken again exclusively
  fd_ = -1;
  try {
    waitFor(Mode::kExclusive, deadline, wait);
  } catch (const ToolError& e) {
    throw ToolError(productPath_ + ": error: a change of the product was interrupted (journal " +
                        journalPath_ + ") and must be finished before it is read, but: " + e.what(),
                    e.status());
  }
}

void ProductLock::waitFor(Mode mode, Clock::time_point deadline, std::chrono::milliseconds wait) {
  for (;;) {
    int error = 0;
    if (tryLock(mode, error)) return;
    if (error == kLockFileReplaced || error == EINTR) continue;
    if (error != EWOULDBLOCK) {
      // A reader that may not create the lock file reads unlocked (see the header).
      bool readOnly = error == EACCES || error == EROFS || error == EPERM || error == ENOENT;
      if (mode == Mode::kShared && readOnly) return;
      throw ToolError(productPath_ + ": error: cannot create the lock file " + lockPath_ + ": " +
                          std::strerror(error),
                      kExitUsage);
    }
    if (Clock::now() >= deadline) {
      throw ToolError("tam: error: " + productPath_ + " is in use by another tam" +
                          holder(lockPath_) + "; nothing was done (waited " + seconds(wait) + ")",
                      kExitReported);
    }
    if (!announced_) {
      std::cerr << "tam: waiting for another tam" << holder(lockPath_) << " to finish with "
                << productPath_ << " (at most " << seconds(wait) << ")\n";
      announced_ = true;
    }
    std::this_thread::sleep_for(kRetryInterval);
  }
}

bool ProductLock::tryLock(Mode mode, int& error) {
  int fd = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, kLockFileMode);
  if (fd < 0 && mode == Mode::kShared && (errno == EACCES || errno == EROFS)) {
    // A lock file a writer left in a folder this reader may not write in.
    fd = ::open(lockPath_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  }
  if (fd < 0) {
    error = errno;
    return false;
  }
  if (::flock(fd, (mode == Mode::kExclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
    error = errno;
    ::close(fd);
    return false;
  }
  if (!sameFile(fd, lockPath_)) {
    ::close(fd);
    error = kLockFileReplaced;
    return false;
  }
  if (mode == Mode::kExclusive) {
    // Who writes, for the message of a process that waits; a failure here costs only that.
    std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) {
      ssize_t written = ::write(fd, pid.data(), pid.size());
      static_cast<void>(written);
    }
  }
  fd_ = fd;
  mode_ = mode;
  return true;
}

void ProductLock::release() {
  if (fd_ < 0) return;
  // Only a process that holds the lock alone may remove the file; a reader finds out by asking
  // for the lock exclusively (which, when it fails, costs it nothing: it is letting go anyway).
  bool alone = mode_ == Mode::kExclusive || ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
  if (alone && sameFile(fd_, lockPath_)) ::unlink(lockPath_.c_str());
  ::close(fd_);
  fd_ = -1;
}
