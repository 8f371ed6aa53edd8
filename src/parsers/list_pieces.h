// Long lists read in pieces by several threads. A piece is read from a place that the counting
// pass marked, and its result is trusted only where the reading in order arrives at the very
// place, in the very state, that the piece began from; anything else is read again in order.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "io/token_reader.h"

namespace sceneio {

// Entries [first, end) of one list (the row of its section occurrence), read by a reader that
// stands good at `markOffset` and passes `skip` tokens before the first entry.
struct ListPiece {
  enum State : uint8_t { kFree, kTaken, kRead, kInOrder };

  size_t row = 0;
  int32_t first = 0;
  int32_t end = 0;
  int32_t markOffset = 0;
  int skip = 0;
  std::atomic<uint8_t> state{kFree};
  // Written by the worker that read the piece, before `state` becomes kRead: where its first
  // entry began (-1 when no good reader got there) and its reader after the last entry.
  int32_t start = -1;
  TokenReader after{nullptr, 0};
};

// The pieces of a parse, in file order. The thread that reads in order takes them from the
// first on; workers take them from the last one backwards, so the two meet somewhere inside
// and neither waits for the other until then.
class PieceBoard {
 public:
  explicit PieceBoard(size_t count)
      : pieces_(std::make_unique<ListPiece[]>(count)),
        count_(count),
        tail_(static_cast<int64_t>(count)) {}
  PieceBoard(const PieceBoard&) = delete;
  PieceBoard& operator=(const PieceBoard&) = delete;
  ~PieceBoard() { Finish(); }

  size_t size() const { return count_; }
  ListPiece& operator[](size_t i) { return pieces_[i]; }

  // Starts up to `workers` threads, each calling `read(piece)` for the pieces it takes. A thread
  // that cannot be started leaves its share to the others and to the reading in order.
  template <typename Read>
  void Start(int workers, const Read& read) {
    try {
      threads_.reserve(static_cast<size_t>(workers));
    } catch (const std::bad_alloc&) {
      return;
    }
    for (int i = 0; i < workers; ++i) {
      try {
        threads_.emplace_back([this, read] { Work(read); });
      } catch (const std::system_error&) {
        break;
      }
    }
  }

  // Called by the thread reading in order, for each piece as it arrives there: true when the
  // piece is its own to read (no worker took it); false once a worker has read it, after
  // waiting for that.
  bool TakeInOrder(ListPiece& piece) {
    uint8_t seen = ListPiece::kFree;
    if (piece.state.compare_exchange_strong(seen, ListPiece::kInOrder, std::memory_order_acq_rel)) {
      return true;
    }
    while ((seen = piece.state.load(std::memory_order_acquire)) != ListPiece::kRead) {
      piece.state.wait(seen, std::memory_order_acquire);
    }
    return false;
  }

  // No piece is taken after this, and every worker has ended when it returns.
  void Finish() {
    stop_.store(true, std::memory_order_relaxed);
    for (std::thread& thread : threads_) thread.join();
    threads_.clear();
  }

 private:
  template <typename Read>
  void Work(const Read& read) {
    while (!stop_.load(std::memory_order_relaxed)) {
      const int64_t i = tail_.fetch_sub(1, std::memory_order_relaxed) - 1;
      if (i < 0) return;
      ListPiece& piece = pieces_[static_cast<size_t>(i)];
      uint8_t seen = ListPiece::kFree;
      // The reading in order has come this far: every piece before this one is its own.
      if (!piece.state.compare_exchange_strong(seen, ListPiece::kTaken,
                                               std::memory_order_acq_rel)) {
        return;
      }
      read(piece);
      piece.state.store(ListPiece::kRead, std::memory_order_release);
      piece.state.notify_all();
    }
  }

  std::unique_ptr<ListPiece[]> pieces_;
  size_t count_;
  std::atomic<int64_t> tail_;
  std::atomic<bool> stop_{false};
  std::vector<std::thread> threads_;
};

}  // namespace sceneio
