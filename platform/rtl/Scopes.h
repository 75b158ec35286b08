#pragma once
// Scopes instead of manual clean-up. Undoing state on every way out of a
// scope is Qt's qScopeGuard or QScopedValueRollback; what is below covers the
// rest.
//
// Owned<T, Free>: sole owner of a value that Free releases (a string, a block
// of memory, a handle), so that every way out of a scope releases it once.
// The layers name their own kinds (OwnedBstr, OwnedTaskMem, OwnedIdList,
// OwnedMenu); new code holds such values in them instead of freeing by hand.
//
//   OwnedBstr name(StringToBSTR(text));
//   object->put_name(name.get());   // freed when `name` goes
//   OwnedBstr answer;
//   object->get_name(answer.out()); // the callee fills it, `answer` frees it
#include <utility>

template <class T, auto Free>
class Owned {
 public:
  Owned() = default;
  explicit Owned(T value) : value_(value) {}
  Owned(Owned&& other) noexcept : value_(std::exchange(other.value_, T{})) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) reset(std::exchange(other.value_, T{}));
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() { reset(); }

  T get() const { return value_; }
  explicit operator bool() const { return value_ != T{}; }
  // Frees what is held and answers the place for a callee to fill.
  T* out() {
    reset();
    return &value_;
  }
  // Gives the value up without freeing it.
  [[nodiscard]] T release() { return std::exchange(value_, T{}); }
  void reset(T value = T{}) {
    if (T old = std::exchange(value_, value); old != T{}) Free(old);
  }

 private:
  T value_{};
};

// Runs `body`, then `after`, also when `body` throws (its exception then
// passes on). For an `after` that may itself raise, such as one that ends an
// update and so calls change handlers: a scope guard runs in a destructor,
// where an exception ends the program.
template <class Body, class After>
void RunFinally(Body&& body, After&& after) {
  try {
    body();
  } catch (...) {
    after();
    throw;
  }
  after();
}
