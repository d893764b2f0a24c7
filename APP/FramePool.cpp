#include "APP/FramePool.h"

#include <cassert>
#include <limits>

#include <sys/types.h>
#include <unistd.h>

#include "common/RAWVideo.h"

void TAutoResetEvent::Signal() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = true;
  }
  changed_.notify_one();
}

void TAutoResetEvent::Wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return signalled_; });
  signalled_ = false;
}

namespace {

// Blocks of this many bytes or more would not fit their u32 Capacity field.
bool BlockSizeFits(std::uint64_t bytes) {
  return bytes > 0 && bytes <= std::numeric_limits<std::uint32_t>::max();
}

// An empty pool when the sizes are refused, so that nothing is allocated.
std::int32_t AllocatedCount(std::int32_t count, std::uint64_t bytes) {
  return BlockSizeFits(bytes) ? count : 0;
}

}  // namespace

TFramePool::TFramePool(int file, std::int32_t count, std::uint64_t bytes, TFileWriter writer,
                       TBlockAllocator allocator)
    : Pool(AllocatedCount(count, bytes), bytes + BlockOverhead, allocator),
      OutputFile(file),
      writer_(writer ? std::move(writer) : TFileWriter(WriteRAWVideoData)) {
  if (IsValid()) {
    blockRecords_.assign(static_cast<std::size_t>(Pool.Count()), 0);
    for (std::int32_t i = 0; i < Pool.Count(); ++i) {
      Block(i)->Capacity = static_cast<std::uint32_t>(bytes);
      Block(i)->Used = 0;
    }
  }
  // Started also for an invalid pool, which it leaves at once.
  WriterThread = std::thread([this] { WriterLoop(); });
}

TFramePool::~TFramePool() {
  Flush();
  if (WriterThread.joinable()) WriterThread.join();
}

TFramePool::TBlockHeader* TFramePool::Block(std::int32_t i) const {
  return static_cast<TBlockHeader*>(Pool.GetBlock(i));
}

std::uint8_t* TFramePool::Data(std::int32_t i) const {
  return static_cast<std::uint8_t*>(Pool.GetBlock(i)) + BlockHeaderSize;
}

std::uint8_t* TFramePool::Reserve(std::uint32_t n) {
  if (!IsValid()) return nullptr;
  const std::uint64_t need = std::uint64_t{n} + RAWFrameRecordPrefixSize;
  std::int32_t fill = FillIndex.load(std::memory_order_relaxed);
  TBlockHeader* block = Block(fill);
  // A record that no block can hold is refused rather than written past the
  // end of an empty block.
  if (need > block->Capacity) return nullptr;
  if (block->Capacity - block->Used < need) {
    const std::int32_t next = NextIndex(fill);
    // Every other block still waits for the writer: the pool is full.
    if (next == WriteIndex.load(std::memory_order_acquire)) return nullptr;
    fill = next;
    FillIndex.store(fill, std::memory_order_release);
    WakeEvent.Signal();
    block = Block(fill);
    assert(block->Used == 0);
  }
  return Data(fill) + block->Used + RAWFrameRecordPrefixSize;
}

bool TFramePool::Commit(std::uint32_t n) {
  if (!IsValid()) return false;
  const std::int32_t fill = FillIndex.load(std::memory_order_relaxed);
  TBlockHeader* block = Block(fill);
  const std::uint64_t need = std::uint64_t{n} + RAWFrameRecordPrefixSize;
  if (block->Capacity - block->Used < need) return false;
  PutRAWRecordLength(Data(fill) + block->Used, n);
  block->Used += static_cast<std::uint32_t>(need);
  ++blockRecords_[static_cast<std::size_t>(fill)];
  return true;
}

void TFramePool::Flush() {
  if (!IsValid()) return;
  StopRequested.store(true, std::memory_order_release);
  WakeEvent.Signal();
  if (WriterThread.joinable()) WriterThread.join();
  // The writer has ended: the fill block is the last one holding records.
  WriteBlock(FillIndex.load(std::memory_order_relaxed));
}

void TFramePool::WriterLoop() {
  if (!IsValid()) return;
  for (;;) {
    // Read before the blocks are written: a stop request seen here was made
    // after the producer's last hand-over, which this pass then writes.
    const bool stopping = StopRequested.load(std::memory_order_acquire);
    WriteWaitingBlocks();
    if (stopping) return;
    if (WriteIndex.load(std::memory_order_relaxed) == FillIndex.load(std::memory_order_acquire))
      WakeEvent.Wait();
  }
}

void TFramePool::WriteWaitingBlocks() {
  std::int32_t index = WriteIndex.load(std::memory_order_relaxed);
  while (index != FillIndex.load(std::memory_order_acquire)) {
    WriteBlock(index);
    index = NextIndex(index);
    // Used is 0 again before the producer may enter the block.
    WriteIndex.store(index, std::memory_order_release);
  }
}

void TFramePool::WriteBlock(std::int32_t i) {
  TBlockHeader* block = Block(i);
  std::uint32_t& records = blockRecords_[static_cast<std::size_t>(i)];
  if (block->Used > 0 && !WriteFailed()) {
    const off_t start = ::lseek(OutputFile, 0, SEEK_CUR);
    if (writer_(OutputFile, Data(i), block->Used)) {
      storedRecords_.fetch_add(records, std::memory_order_release);
    } else {
      // Cut off a partly written block, so that the file ends with the last
      // complete block and holds exactly the records counted as stored.
      if (start >= 0 && ::ftruncate(OutputFile, start) == 0) ::lseek(OutputFile, start, SEEK_SET);
      writeFailed_.store(true, std::memory_order_release);
    }
  }
  block->Used = 0;
  records = 0;
}
