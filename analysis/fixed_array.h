// A fixed-size array indexed from 1 with the first index varying fastest, so that the formulas
// read as written (FORCE(J,K)) and a whole array can be handed on as one vector.
#pragma once

#include <array>
#include <cstddef>

namespace analysis {

template <class T, int Rows, int Cols = 1>
class Array {
 public:
  static constexpr int kRows = Rows;
  static constexpr int kCols = Cols;
  static constexpr int kSize = Rows * Cols;

  // Element I of a one-dimensional array.
  T& operator()(int i) { return data_[static_cast<std::size_t>(i - 1)]; }
  const T& operator()(int i) const { return data_[static_cast<std::size_t>(i - 1)]; }
  // Element (I, J), stored at position I + Rows * (J - 1).
  T& operator()(int i, int j) { return data_[static_cast<std::size_t>(i - 1 + Rows * (j - 1))]; }
  const T& operator()(int i, int j) const {
    return data_[static_cast<std::size_t>(i - 1 + Rows * (j - 1))];
  }

  // The storage as one vector, first index fastest.
  T* data() { return data_.data(); }
  const T* data() const { return data_.data(); }

  void Fill(T value) { data_.fill(value); }

 private:
  std::array<T, static_cast<std::size_t>(kSize)> data_{};
};

}  // namespace analysis
