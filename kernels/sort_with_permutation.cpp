// SVRGP: sorts a real vector ascending and carries an integer vector along,
// by quicksort with a median-of-three pivot, a stack of pending segments and
// straight insertion for short segments that do not start at position 1.
//
// Long vectors are sorted on several threads without changing a single
// exchange. Once a segment is partitioned, its two parts are sorted
// independently, so either can be sorted on another thread, provided it is
// sorted with the pivot fraction R that the one-thread sort would use for it.
// R moves on only at a segment start, and only segments that begin at
// position 1 come back as segment starts; a segment that begins further on is
// sorted, parts and all, with the one value that R has when the one-thread
// sort takes it up. So the main loop runs the one-thread sort and, whenever it
// takes up a long segment that does not begin at position 1 (continues with
// it or takes it from the stack), hands it with the current R to the pool and
// goes on as if it were sorted. The threads of the pool split their segments
// the same way. Each thread touches only the elements of its own segments.
#include "kernels/sort_with_permutation.hpp"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <exception>
#include <thread>

#include "errors/error_layer.hpp"
#include "kernels/real_kernels.hpp"
#include "ksatfit/errors.hpp"
#include "ksatfit/kernels.hpp"
#include "runtime/one_based.hpp"

namespace ksatfit {
namespace {

// The larger part of every split is stacked and the smaller one sorted first,
// so the stack never holds more than log2(N) pairs; 64 covers any int N.
constexpr int kStackPairs = 64;

// Segments this short (J - I <= 10) are left to straight insertion.
constexpr int kInsertionSpan = 10;

// Elements that a partition compares with the pivot in one sweep.
constexpr int kBlock = 64;

// Vectors shorter than this are sorted on one thread: for them, starting and
// joining a thread gains too little.
constexpr int kParallelLength = 50'000;

// At most this many threads. A segment handed to another thread holds at
// least 1/kSharesPerThread of a thread's share of the vector and at least
// kLeastShare elements, which bounds the depth of the splits that are handed
// on; shorter ones are sorted by the thread that split them. Shares this fine
// keep the threads busy to the end (a simulation of the sort of random
// vectors of 1e5 and 1e6 elements on two threads gives a speedup of 1.8 to
// 1.9, against 1.6 to 1.8 with shares eight times as long).
constexpr int kMostThreads = 8;
constexpr int kSharesPerThread = 64;
constexpr int kLeastShare = 4096;
constexpr int kPendingSegments = 64;

struct Segment {
  int I;
  int J;
};

template <class Real>
struct Sorting {
  Vec1<Real> RB;
  Vec1<int> IPERM;

  void exchange(int p, int q) const {
    const Real t = RB(p);
    RB(p) = RB(q);
    RB(q) = t;
    const int it = IPERM(p);
    IPERM(p) = IPERM(q);
    IPERM(q) = it;
  }

  // Splits [I, J] around the value at I + trunc((J - I) * R), after ordering
  // the first, middle and last elements. On return every element of [I, L] is
  // at most the pivot, every element of [K, J] at least, and K > L.
  void partition(int I, int J, float R, int& K, int& L) const {
    K = I;
    const int IJ = I + static_cast<int>(static_cast<float>(J - I) * R);
    Real T = RB(IJ);
    if (RB(I) > T) {
      exchange(I, IJ);
      T = RB(IJ);
    }
    L = J;
    if (RB(J) < T) {
      exchange(J, IJ);
      T = RB(IJ);
      if (RB(I) > T) {
        exchange(I, IJ);
        T = RB(IJ);
      }
    }
    exchange_blocks(T, K, L);
    for (;;) {
      do --L; while (RB(L) > T);
      do ++K; while (RB(K) < T);
      if (K > L) return;
      if (RB(L) != RB(K)) exchange(L, K);
    }
  }

  // The rounds of the loop above that end before K and L cross, found a
  // block of elements at a time. The K scan stops at every element that is
  // not below T and the L scan at every element that is not above T, and each
  // round exchanges the next stop of the one with the next stop of the other.
  // Elements between the two scans are not touched before a scan reaches
  // them, so the stops of a whole block can be found in one sweep, without a
  // branch on each comparison, and paired off in order: the exchanges are
  // exactly those of the scans one element at a time. Leaves K and L at the
  // last pair exchanged, where the element-wise loop takes over for the round
  // in which they cross.
  void exchange_blocks(Real T, int& K, int& L) const {
    int stops_k[2 * kBlock];
    int stops_l[2 * kBlock];
    int found_k = 0, used_k = 0, found_l = 0, used_l = 0;
    int front = K;  // the K scan has looked at (K, front]
    int back = L;   // the L scan has looked at [back, L)
    for (;;) {
      if (used_k == found_k) {
        if (back - front - 1 < kBlock) break;
        found_k = used_k = 0;
        for (int t = 1; t <= kBlock; ++t) {
          stops_k[found_k] = front + t;
          found_k += !(RB(front + t) < T);
        }
        front += kBlock;
      }
      if (used_l == found_l) {
        if (back - front - 1 < kBlock) break;
        found_l = used_l = 0;
        for (int t = 1; t <= kBlock; ++t) {
          stops_l[found_l] = back - t;
          found_l += !(RB(back - t) > T);
        }
        back -= kBlock;
      }
      while (used_k < found_k && used_l < found_l) {
        K = stops_k[used_k++];
        L = stops_l[used_l++];
        if (RB(L) != RB(K)) exchange(L, K);
      }
    }
    // Less than a block lies between the scans, so the stops still to come
    // lie close together in (K, L), which nothing has touched yet, and an
    // element there may be a stop of either scan: find the next stops of both
    // in the whole of it (as many as the buffers hold) and pair them off while
    // the K stop comes before the L stop.
    found_k = found_l = used_k = used_l = 0;
    for (int p = K + 1; p < L && found_k < 2 * kBlock; ++p) {
      stops_k[found_k] = p;
      found_k += !(RB(p) < T);
    }
    for (int p = L - 1; p > K && found_l < 2 * kBlock; --p) {
      stops_l[found_l] = p;
      found_l += !(RB(p) > T);
    }
    while (used_k < found_k && used_l < found_l && stops_k[used_k] < stops_l[used_l]) {
      K = stops_k[used_k++];
      L = stops_l[used_l++];
      if (RB(L) != RB(K)) exchange(L, K);
    }
  }

  // Straight insertion over [I, J]. The element at I - 1 is not larger than
  // any element of the segment and would stop every search by itself, but it
  // may belong to a segment that another thread is sorting, so the search
  // stops at I instead, with the same result.
  void insertion(int I, int J) const {
    for (int P = I + 1; P <= J; ++P) {
      if (!(RB(P) < RB(P - 1))) continue;
      const Real T = RB(P);
      const int IT = IPERM(P);
      int Q = P - 1;
      do {
        RB(Q + 1) = RB(Q);
        IPERM(Q + 1) = IPERM(Q);
        --Q;
      } while (Q >= I && T < RB(Q));
      RB(Q + 1) = T;
      IPERM(Q + 1) = IT;
    }
  }
};

float next_fraction(float R) { return R > 0.58984375f ? R - 0.21875f : R + 0.0390625f; }

// Segments waiting to be sorted with their pivot fraction, and the threads
// that sort them. With one thread nothing is ever handed on.
template <class Real>
class SortPool {
 public:
  SortPool(Sorting<Real> s, int N, int threads)
      : s_(s), grain_(std::max(kLeastShare, N / (kSharesPerThread * threads))) {
    for (int t = 1; t < threads && started_ < kMostThreads - 1; ++t) {
      try {
        workers_[started_] = std::thread([this] { help(); });
        ++started_;
      } catch (const std::exception&) {  // no thread to be had
        break;                              // sort on the threads that did start
      }
    }
  }

  ~SortPool() {
    close();
    for (int t = 0; t < started_; ++t) workers_[t].join();
  }

  SortPool(const SortPool&) = delete;
  SortPool& operator=(const SortPool&) = delete;

  // Takes [I, J] (I > 1) to be sorted with R on whichever thread is free;
  // false when the caller is to sort it itself.
  bool offer(Segment segment, float R) {
    if (started_ == 0 || segment.J - segment.I < grain_) return false;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (count_ == kPendingSegments) return false;
      pending_[count_++] = Pending{segment, R};
    }
    ready_.notify_one();
    return true;
  }

  // Called by the main loop when it has handed on its last segment: sorts
  // pending segments until every one is sorted.
  void finish() {
    close();
    help();
  }

  // Sorts [I, J] (I > 1) with a fixed R, handing on the larger part of a
  // split when it is long enough and stacking it otherwise.
  void sort_segment(Segment segment, float R) {
    Segment stack[kStackPairs];
    int M = 0;
    int I = segment.I;
    int J = segment.J;
    for (;;) {
      if (J - I <= kInsertionSpan) {
        s_.insertion(I, J);
        if (M == 0) return;
        --M;
        I = stack[M].I;
        J = stack[M].J;
        continue;
      }
      int K = 0;
      int L = 0;
      s_.partition(I, J, R, K, L);
      Segment larger{};
      if (J - K < L - I) {
        larger = Segment{I, L};
        I = K;
      } else {
        larger = Segment{K, J};
        J = L;
      }
      if (!offer(larger, R)) stack[M++] = larger;
    }
  }

 private:
  struct Pending {
    Segment segment;
    float R;
  };

  bool done() const { return !open_ && count_ == 0 && running_ == 0; }

  void close() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      open_ = false;
    }
    ready_.notify_all();
  }

  // Takes the longest pending segment first, so that the threads finish
  // close together.
  void help() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      ready_.wait(lock, [this] { return count_ > 0 || done(); });
      if (count_ == 0) return;
      Pending* longest = std::max_element(
          pending_.begin(), pending_.begin() + count_, [](const Pending& a, const Pending& b) {
            return a.segment.J - a.segment.I < b.segment.J - b.segment.I;
          });
      const Pending task = *longest;
      *longest = pending_[--count_];
      ++running_;
      lock.unlock();
      sort_segment(task.segment, task.R);
      lock.lock();
      --running_;
      if (done()) ready_.notify_all();
    }
  }

  const Sorting<Real> s_;
  const int grain_;
  std::array<std::thread, kMostThreads - 1> workers_;
  int started_ = 0;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::array<Pending, kPendingSegments> pending_{};
  int count_ = 0;
  int running_ = 0;
  bool open_ = true;  // the main loop may still hand on segments
};

}  // namespace

int sort_threads(int N) {
  if (N < kParallelLength) return 1;
  const unsigned hardware = std::thread::hardware_concurrency();  // 0: unknown
  return hardware <= 1 ? 1 : static_cast<int>(std::min<unsigned>(hardware, kMostThreads));
}

template <class Real>
void sort_with_permutation(int N, Real* RB, int* IPERM, int threads) {
  const Sorting<Real> s{Vec1<Real>(RB), Vec1<int>(IPERM)};
  std::optional<SortPool<Real>> pool;
  if (threads > 1) pool.emplace(s, N, threads);
  Segment stack[kStackPairs];
  int M = 0;  // pairs on the stack
  int I = 1;
  int J = N;
  float R = 0.375f;

  // Takes the most recently stacked segment; false when none is left.
  auto pop = [&]() {
    if (M == 0) return false;
    --M;
    I = stack[M].I;
    J = stack[M].J;
    return true;
  };

  // At a segment start the pivot fraction moves on; a segment that is split
  // again or taken from the stack keeps it. A segment that starts at position
  // 1 has no smaller element in front of it to stop an insertion, so it is
  // partitioned all the way down, each part coming back as a segment start.
  bool segment_start = true;
  for (;;) {
    if (segment_start) {
      if (I == J) {
        if (!pop()) break;
        segment_start = false;
        continue;
      }
      R = next_fraction(R);
    } else if (I > 1 && pool && pool->offer(Segment{I, J}, R)) {
      if (!pop()) break;
      continue;
    } else if (J - I <= kInsertionSpan) {
      if (I == 1) {
        segment_start = true;
        continue;
      }
      s.insertion(I, J);
      if (!pop()) break;
      continue;
    }
    int K = 0;
    int L = 0;
    s.partition(I, J, R, K, L);
    if (J - K < L - I) {
      stack[M++] = Segment{I, L};
      I = K;
    } else {
      stack[M++] = Segment{K, J};
      J = L;
    }
    segment_start = false;
  }
  if (pool) pool->finish();
}

template <class Real>
void SVRGP(int N, const Real* RA, Real* RB, int* IPERM) {
  RoutineScope guard("SVRGP");
  if (RA != RB) SCOPY(N, RA, 1, RB, 1);
  if (N < 1) {
    E1STI(1, N);
    E1MES(5, 1,
          "The length of vectors RA, RB and IPERM must be greater than or equal to "
          "one.  On input the length, N, is given as %(I1).");
  }
  if (N1RTY(0) != 0) return;
  sort_with_permutation(N, RB, IPERM, sort_threads(N));
}

template void sort_with_permutation<float>(int, float*, int*, int);
template void sort_with_permutation<double>(int, double*, int*, int);
template void SVRGP<float>(int, const float*, float*, int*);
template void SVRGP<double>(int, const double*, double*, int*);

void SVRGP(int N, const float* RA, float* RB, int* IPERM) { SVRGP<float>(N, RA, RB, IPERM); }

}  // namespace ksatfit
