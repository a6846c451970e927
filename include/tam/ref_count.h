// Intrusive reference counting. Every shared library object (window, module, option, option value
// constraint, value, parsed rule root and condition) derives from ref_count and is held through
// ref_count_ptr handles; the count lives in the object, so a handle can be made again from a plain
// pointer and still shares the one count. The last handle to let go deletes the object.
// Counts are plain integers: handles to one object are used from one thread at a time. The few
// objects the whole process shares (the Unset and Bool values) are marked shared: their count
// never changes and they are never deleted, so any thread may copy and drop handles to them.
// The number of live objects is kept atomically.
#ifndef TAM_REF_COUNT_H
#define TAM_REF_COUNT_H

#include <atomic>
#include <cstdint>

#include "tam/TamExport.h"

class TAM_API ref_count {
 public:
  ref_count(const ref_count&) = delete;
  ref_count& operator=(const ref_count&) = delete;

  void addReference() {
    if (!shared_) ++count_;
  }
  // Drops one reference; at zero the object deletes itself. Objects handed to handles must have
  // been made with plain `new`.
  void removeReference() {
    if (!shared_ && --count_ == 0) delete this;
  }
  int32_t referenceCount() const { return count_; }

  // A hook for the end of a host's debugging run; it has no effect.
  static void debugend() {}
  // Number of ref_count objects alive in the process.
  static int32_t liveObjects() { return globalCount.load(std::memory_order_relaxed); }

 protected:
  ref_count() { globalCount.fetch_add(1, std::memory_order_relaxed); }
  virtual ~ref_count() { globalCount.fetch_sub(1, std::memory_order_relaxed); }
  // Makes the object one the whole process shares: from now on its count stays as it is and
  // it is never deleted. Call it before the object is handed to another thread.
  void shareWithProcess() { shared_ = true; }

  static std::atomic<int32_t> globalCount;

 private:
  int32_t count_ = 0;
  bool shared_ = false;
};

// A handle on a ref_count object, or null. Copying adds a reference, destruction removes one.
template <class T>
class ref_count_ptr {
 public:
  ref_count_ptr() = default;
  ref_count_ptr(T* p) : p_(p) {  // NOLINT: implicit by design, a plain pointer becomes a handle
    if (p_) p_->addReference();
  }
  ref_count_ptr(const ref_count_ptr& other) : p_(other.p_) {
    if (p_) p_->addReference();
  }
  template <class U>
  ref_count_ptr(const ref_count_ptr<U>& other) : p_(other.get()) {  // NOLINT: upcast
    if (p_) p_->addReference();
  }
  ~ref_count_ptr() {
    if (p_) p_->removeReference();
  }

  // The new object is secured before the old one is released: the old object may hold the last
  // other handle to the new one.
  ref_count_ptr& operator=(const ref_count_ptr& other) {
    if (p_ == other.p_) return *this;
    T* old = p_;
    p_ = other.p_;
    if (p_) p_->addReference();
    if (old) old->removeReference();
    return *this;
  }

  T& operator*() const { return *p_; }
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  bool isNull() const { return p_ == nullptr; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

// Handles are equal when they hold the same object. Value handles override this to compare the
// values they hold (see TamValue.h).
template <class T, class U>
bool operator==(const ref_count_ptr<T>& a, const ref_count_ptr<U>& b) {
  return a.get() == b.get();
}
template <class T, class U>
bool operator!=(const ref_count_ptr<T>& a, const ref_count_ptr<U>& b) {
  return a.get() != b.get();
}

#endif  // TAM_REF_COUNT_H
