// A ProductLock keeps tam processes that work on one product from getting in each other's way:
// a writer (tam rename --write, a save of tam serve) holds it exclusively from the moment it reads
// the product until its files are written, and a reader holds it shared while it reads, so that no
// reader sees a product half changed and no two writers start from the same texts.
//
// It is an advisory lock (flock) on the lock file ".NAME.tam-lock" beside the product file NAME
// (symbolic links followed, so that every path to one product finds one lock). The system drops
// the lock when its process ends in any way, so a writer that was killed never leaves the product
// locked; the last holder removes the lock file when it lets go. Programs other than tam do not
// see the lock.
//
// Acquiring the lock also settles what a killed writer left: when the product's commit journal
// (".NAME.tam-journal", see FileCommit.h) exists, the lock is taken exclusively and the commit is
// finished or undone, with a note on standard error, before the caller gets the lock (a reader
// then holds it exclusively). Nothing of the product is read before that.
//
// Usage:
//   ProductLock lock = ProductLock::acquire(path, ProductLock::Mode::kExclusive, wait);
//   ... read the product, compute new texts ...
//   commitFiles(lock, updates);   // FileCommit.h
// A lock is released when the object is destroyed (or release() is called); it moves, never
// copies. Not thread-safe: one thread of one process uses a lock object at a time.
#ifndef TAM_TOOL_PRODUCTLOCK_H
#define TAM_TOOL_PRODUCTLOCK_H

#include <chrono>
#include <string>

class ProductLock {
 public:
  enum class Mode { kShared, kExclusive };

  // How long a command waits for a product another tam works on, unless told otherwise.
  static constexpr std::chrono::seconds kDefaultWait{30};
  // How often a waiting command tries the lock again.
  static constexpr std::chrono::milliseconds kRetryInterval{50};

  // Takes the lock of the product file at `productPath`, waiting at most `wait` while another
  // process holds it (saying once on standard error that it waits), then settles an interrupted
  // commit if there is one. Throws ToolError (kExitReported) when the lock stays taken, naming the
  // product and, when it is known, the process holding it; ToolError (kExitUsage) when the lock
  // file cannot be created for a writer or an interrupted commit cannot be settled.
  //
  // A reader of a product whose folder it may not write in (a product installed read-only)
  // cannot create the lock file; it then reads without a lock, which is safe as long as no
  // writer can change the product either. With no product file at `productPath` nothing is
  // locked, so that the command reports the missing file itself.
  static ProductLock acquire(const std::string& productPath, Mode mode,
                             std::chrono::milliseconds wait = kDefaultWait);

  // A lock holding nothing.
  ProductLock() = default;
  ProductLock(ProductLock&& other) noexcept;
  ProductLock& operator=(ProductLock&& other) noexcept;
  ProductLock(const ProductLock&) = delete;
  ProductLock& operator=(const ProductLock&) = delete;
  ~ProductLock();

  // Lets go of the lock; the lock file is removed when no other process holds it.
  void release();

  bool held() const { return fd_ >= 0; }
  bool exclusive() const { return held() && mode_ == Mode::kExclusive; }
  // The product file as the caller named it.
  const std::string& productPath() const { return productPath_; }
  // The files tam keeps beside the product (absolute paths).
  const std::string& lockPath() const { return lockPath_; }
  const std::string& journalPath() const { return journalPath_; }

 private:
  ProductLock(const std::string& productPath, const std::string& lockPath,
              const std::string& journalPath);
  bool tryLock(Mode mode, int& error);
  void waitFor(Mode mode, std::chrono::steady_clock::time_point deadline,
               std::chrono::milliseconds wait);
  void settleExclusively(std::chrono::steady_clock::time_point deadline,
                         std::chrono::milliseconds wait);

  std::string productPath_;
  std::string lockPath_;
  std::string journalPath_;
  int fd_ = -1;
  Mode mode_ = Mode::kShared;
  bool announced_ = false;
};

#endif  // TAM_TOOL_PRODUCTLOCK_H
