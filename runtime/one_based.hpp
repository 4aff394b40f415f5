// 1-based views over raw storage, so that code indexes vectors and
// column-major matrices the way the formulas write them: v(i), a(i, j).
#pragma once

#include <cstddef>

namespace ksatfit {

template <class T>
class Vec1 {
 public:
  explicit Vec1(T* first) : first_(first) {}
  T& operator()(int i) const { return first_[static_cast<std::ptrdiff_t>(i) - 1]; }
  T* ptr(int i) const { return first_ + (static_cast<std::ptrdiff_t>(i) - 1); }

 private:
  T* first_;
};

template <class T>
class Mat1 {
 public:
  Mat1(T* first, int ld) : first_(first), ld_(ld) {}
  T& operator()(int i, int j) const { return first_[offset(i, j)]; }
  T* ptr(int i, int j) const { return first_ + offset(i, j); }
  int ld() const { return ld_; }

 private:
  std::ptrdiff_t offset(int i, int j) const {
    return (static_cast<std::ptrdiff_t>(i) - 1) +
           (static_cast<std::ptrdiff_t>(j) - 1) * static_cast<std::ptrdiff_t>(ld_);
  }
  T* first_;
  int ld_;
};

}  // namespace ksatfit
