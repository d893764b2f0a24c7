// The frame pool: the hand-over of RAW frame records from the capture loop
// to the disk.
//
// A ring of large preallocated blocks (a TMemPool) into which the capture
// loop, the one producer, places length-prefixed frame records, and a writer
// thread of its own, the one consumer, that writes each filled block to the
// open RAW file with one write. The two share no lock: the producer owns the
// fill block, the writer every block from WriteIndex up to FillIndex, and
// each index is published with release and read with acquire semantics after
// the block contents it hands over. An auto-reset event wakes the writer.
//
// Block layout (S = the pool's block size): u32 Capacity = S, u32 Used (bytes
// of records stored), then the data area of S + 4 bytes. A record is u32 N
// and N bytes; a record never straddles two blocks.
//
// The pool is usable as soon as it exists: a third thread makes the blocks'
// pages ready in the order the producer will fill them, and the producer
// makes ready itself only the few pages a record needs that the thread has
// not reached yet. A page the system cannot give stops the producer there
// (MemoryFailed), with every record before it kept.
#ifndef APP_FRAMEPOOL_H
#define APP_FRAMEPOOL_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "APP/capture/MemPool.h"

// An unnamed auto-reset event: a signal stays set until one wait takes it,
// so a signal given while nobody waits is not lost.
class TAutoResetEvent {
 public:
  void Signal();
  void Wait();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_ = false;
};

// Writes bytes at the file's current position; false when the file refuses
// them. The pool writes through WriteRAWVideoData unless told otherwise.
using TFileWriter = std::function<bool(int file, const void* data, std::uint64_t size)>;

class TFramePool {
 public:
  // Bytes of a block's Capacity and Used fields before its data area.
  static constexpr std::uint64_t BlockHeaderSize = 8;
  // A pool's blocks are bytes + BlockOverhead long (header and 4 spare bytes).
  static constexpr std::uint64_t BlockOverhead = 12;

  // count blocks of bytes each on the open file (owned by the caller, never
  // closed by the pool), with the writer thread running. A pool whose
  // blocks cannot be allocated, of more than TMemPool::MaxBlocks blocks or
  // of blocks beyond a u32 capacity is invalid.
  TFramePool(int file, std::int32_t count, std::uint64_t bytes, TFileWriter writer = nullptr,
             TBlockAllocator allocator = SystemBlockAllocator());
  // Flushes, ends the writer thread and frees the blocks.
  ~TFramePool();
  TFramePool(const TFramePool&) = delete;
  TFramePool& operator=(const TFramePool&) = delete;

  // Room for one record of up to n frame bytes: where the frame goes, just
  // behind the record's byte count. Null when the pool is invalid, when no
  // free block is left, when n + 4 bytes exceed a whole block, or when the
  // room's pages cannot be had (MemoryFailed then tells).
  std::uint8_t* Reserve(std::uint32_t n);
  // Stores the record of n bytes placed at the last reserved position;
  // false (nothing stored) when the pool is invalid or the fill block has no
  // room for n + 4 more bytes.
  bool Commit(std::uint32_t n);
  // Ends the writer thread after it has written every waiting block, then
  // writes the fill block. The file then holds every committed record in
  // order (up to a failed write).
  void Flush();

  bool IsValid() const { return Pool.IsValid(); }
  std::int32_t NextIndex(std::int32_t i) const { return i + 1 < Pool.Count() ? i + 1 : 0; }

  // A block write failed. The file was cut back to the end of the last block
  // written whole, and no later block is written.
  bool WriteFailed() const { return writeFailed_.load(std::memory_order_acquire); }
  // The pages of a reservation could not be had: the pool takes no more
  // records (a producer-side state).
  bool MemoryFailed() const { return memoryFailed_; }
  // Records in the blocks written to the file so far.
  std::uint64_t StoredRecords() const { return storedRecords_.load(std::memory_order_acquire); }

 private:
  struct TBlockHeader {
    std::uint32_t Capacity;
    std::uint32_t Used;
  };
  static_assert(sizeof(TBlockHeader) == BlockHeaderSize);

  TBlockHeader* Block(std::int32_t i) const;
  std::uint8_t* Data(std::int32_t i) const;
  bool EnterBlock(std::int32_t i, std::uint64_t need);
  bool MakeNextReady(std::int32_t next, std::uint64_t need);
  bool MakeFillReady(std::int32_t i, std::uint64_t end);
  void PreparerLoop();
  void StopPreparing();
  void WriterLoop();
  void WriteWaitingBlocks();
  void WriteBlock(std::int32_t i);

  TMemPool Pool;
  std::atomic<std::int32_t> FillIndex{0};
  std::atomic<std::int32_t> WriteIndex{0};
  TAutoResetEvent WakeEvent;
  int OutputFile;
  std::thread WriterThread;
  std::atomic<bool> StopRequested{false};

  // Pages are made ready in steps of this many bytes by the preparing thread.
  static constexpr std::uint64_t PrepareStep = std::uint64_t{2} << 20;

  std::uint32_t blockBytes_;   // S, every block's Capacity
  std::uint64_t blockLength_;  // S + BlockOverhead: one block's allocation
  // The blocks' bytes made ready by PreparerThread, counted from block 0's
  // first byte through the blocks in fill order.
  std::atomic<std::uint64_t> preparedEnd_{0};
  std::atomic<bool> stopPreparing_{false};
  std::thread PreparerThread;
  // Producer side: bytes from the fill block's start known ready, whether
  // the first fill block has been entered, and a page that could not be had.
  std::uint64_t fillReady_ = 0;
  bool fillEntered_ = false;
  bool memoryFailed_ = false;

  TFileWriter writer_;
  // Records in each block; owned like the block's Used field.
  std::vector<std::uint32_t> blockRecords_;
  std::atomic<bool> writeFailed_{false};
  std::atomic<std::uint64_t> storedRecords_{0};
};

#endif
