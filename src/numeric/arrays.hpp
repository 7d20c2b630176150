// Arrays addressed with the index ranges they were created with.
//
// A vector created for nl..nh is one heap block; v[i] is element i - nl of it. A matrix is a row
// table (itself such a vector) of row vectors, each row a separate heap block. The views carry
// their lower bounds instead of a displaced pointer, so no address outside a block is ever formed.
// Contents are not initialised. Allocation failures end the process through fatal_error.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>

template <class T>
class OffsetVector {
 public:
  OffsetVector() = default;
  OffsetVector(T* block, int32_t lowest, int32_t highest)
      : block_(block), lowest_(lowest), highest_(highest) {}

  T& operator[](int32_t i) const {
    assert(i >= lowest_ && i <= highest_);
    return block_[static_cast<std::ptrdiff_t>(i) - lowest_];
  }

  // Elements k..highest as a vector indexed from 0 (element k is index 0).
  OffsetVector from(int32_t k) const {
    assert(k >= lowest_ && k <= highest_ + 1);
    return OffsetVector(block_ + (static_cast<std::ptrdiff_t>(k) - lowest_), 0, highest_ - k);
  }

  T* block() const { return block_; }
  int32_t lowest() const { return lowest_; }
  int32_t highest() const { return highest_; }

 private:
  T* block_ = nullptr;
  int32_t lowest_ = 0;
  int32_t highest_ = -1;
};

template <class T>
class OffsetMatrix {
 public:
  OffsetMatrix() = default;
  explicit OffsetMatrix(OffsetVector<OffsetVector<T>> row_table) : rows_(row_table) {}

  // Row i, reached through the row table.
  const OffsetVector<T>& operator[](int32_t i) const { return rows_[i]; }

  const OffsetVector<OffsetVector<T>>& row_table() const { return rows_; }

 private:
  OffsetVector<OffsetVector<T>> rows_;
};

using DoubleVector = OffsetVector<double>;
using IntVector = OffsetVector<int32_t>;
using DoubleMatrix = OffsetMatrix<double>;
using CharMatrix = OffsetMatrix<char>;

// Bounds are taken as 64-bit values so that a computed count (such as R * N) that does not fit in
// 32 bits ends in the allocation failure message instead of wrapping around.
DoubleVector dvector(int64_t nl, int64_t nh);
IntVector ivector(int64_t nl, int64_t nh);
DoubleMatrix dmatrix(int64_t nrl, int64_t nrh, int64_t ncl, int64_t nch);
CharMatrix cmatrix(int64_t nrl, int64_t nrh, int64_t ncl, int64_t nch);

// Release with the bounds of creation; the upper bounds are accepted and not needed.
void release_dvector(DoubleVector& v, int64_t nl, int64_t nh);
void release_ivector(IntVector& v, int64_t nl, int64_t nh);
void release_dmatrix(DoubleMatrix& m, int64_t nrl, int64_t nrh, int64_t ncl, int64_t nch);
void release_cmatrix(CharMatrix& m, int64_t nrl, int64_t nrh, int64_t ncl, int64_t nch);

// Prints the three-line notice on standard error and ends the process with status 1.
[[noreturn]] void fatal_error(const char* message);
