#include "numeric/arrays.hpp"

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>

#include "platform/platform.hpp"

namespace {

// No single request may exceed this. Larger ones cannot be met on any machine this program runs on,
// and refusing them here keeps a damaged count from ending in a crash instead of the allocator's
// message.
constexpr uint64_t kMaxRequestBytes = uint64_t{1} << 40;

// Number of elements of nl..nh, or -1 when the range is negative or cannot be indexed in 32 bits.
int64_t element_count(int64_t nl, int64_t nh) {
  constexpr int64_t lo = std::numeric_limits<int32_t>::min();
  constexpr int64_t hi = std::numeric_limits<int32_t>::max();
  if (nl < lo || nl > hi || nh < lo || nh > hi) return -1;
  return nh - nl + 1;
}

bool fits(int64_t count, uint64_t element_size) {
  return count >= 0 && static_cast<uint64_t>(count) <= kMaxRequestBytes / element_size;
}

// Blocks from this size on have their pages mapped when they are allocated.
constexpr uint64_t kMappedAtOnceBytes = uint64_t{64} << 10;

// malloc, which returns null on failure where new would throw; never asked for zero bytes.
void* allocate(int64_t count, uint64_t element_size) {
  uint64_t bytes = static_cast<uint64_t>(count) * element_size;
  void* block = std::malloc(bytes == 0 ? 1 : bytes);
  if (block != nullptr && bytes >= kMappedAtOnceBytes)
    map_pages(block, static_cast<std::size_t>(bytes));
  return block;
}

template <class T>
OffsetVector<T> make_vector(int64_t nl, int64_t nh, const char* failure) {
  int64_t count = element_count(nl, nh);
  if (!fits(count, sizeof(T))) fatal_error(failure);
  T* block = static_cast<T*>(allocate(count, sizeof(T)));
  if (block == nullptr) fatal_error(failure);
  return OffsetVector<T>(block, static_cast<int32_t>(nl), static_cast<int32_t>(nh));
}

template <class T>
OffsetMatrix<T> make_matrix(int64_t nrl, int64_t nrh, int64_t ncl, int64_t nch,
                            const char* table_failure, const char* row_failure) {
  int64_t rows = element_count(nrl, nrh);
  if (!fits(rows, sizeof(OffsetVector<T>))) fatal_error(table_failure);
  auto* table = static_cast<OffsetVector<T>*>(allocate(rows, sizeof(OffsetVector<T>)));
  if (table == nullptr) fatal_error(table_failure);

  int64_t columns = element_count(ncl, nch);
  // The rows together must fit as well; a matrix whose rows cannot all be had fails before any.
  if (!fits(columns, sizeof(T)) || (rows > 0 && !fits(rows * columns, sizeof(T)))) {
    fatal_error(row_failure);
  }
  for (int64_t i = 0; i < rows; ++i) {
    T* row = static_cast<T*>(allocate(columns, sizeof(T)));
    if (row == nullptr) fatal_error(row_failure);
    new (&table[i]) OffsetVector<T>(row, static_cast<int32_t>(ncl), static_cast<int32_t>(nch));
  }
  return OffsetMatrix<T>(
      OffsetVector<OffsetVector<T>>(table, static_cast<int32_t>(nrl), static_cast<int32_t>(nrh)));
}

template <class T>
void free_vector(OffsetVector<T>& v) {
  std::free(v.block());
  v = OffsetVector<T>();
}

template <class T>
void free_matrix(OffsetMatrix<T>& m) {
  const auto& table = m.row_table();
  for (int64_t i = table.highest(); i >= table.lowest(); --i) {
    std::free(table[static_cast<int32_t>(i)].block());
  }
  std::free(table.block());
  m = OffsetMatrix<T>();
}

}  // namespace

DoubleVector dvector(int64_t nl, int64_t nh) {
  return make_vector<double>(nl, nh, "allocation failure in dvector()");
}

IntVector ivector(int64_t nl, int64_t nh) {
  return make_vector<int32_t>(nl, nh, "allocation failure in ivector()");
}

DoubleMatrix dmatrix(int64_t nrl, int64_t nrh, int64_t ncl, int64_t nch) {
  return make_matrix<double>(nrl, nrh, ncl, nch, "allocation failure 1 in dmatrix()",
                             "allocation failure 2 in dmatrix()");
}

CharMatrix cmatrix(int64_t nrl, int64_t nrh, int64_t ncl, int64_t nch) {
  return make_matrix<char>(nrl, nrh, ncl, nch, "allocation failure 1 in cmatrix()",
                           "allocation failure 2 in cmatrix()");
}

void release_dvector(DoubleVector& v, int64_t, int64_t) {
  free_vector(v);
}
void release_ivector(IntVector& v, int64_t, int64_t) {
  free_vector(v);
}
void release_dmatrix(DoubleMatrix& m, int64_t, int64_t, int64_t, int64_t) {
  free_matrix(m);
}
void release_cmatrix(CharMatrix& m, int64_t, int64_t, int64_t, int64_t) {
  free_matrix(m);
}
