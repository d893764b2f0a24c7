#include "APP/capture/FramePool.h"

#include <algorithm>
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
      blockBytes_(BlockSizeFits(bytes) ? static_cast<std::uint32_t>(bytes) : 0),
      blockLength_(bytes + BlockOverhead),
      writer_(writer ? std::move(writer) : TFileWriter(WriteRAWVideoData)) {
  // No page is touched here: a block's header is set when the producer
  // enters it.
  if (IsValid()) {
    blockRecords_.assign(static_cast<std::size_t>(Pool.Count()), 0);
    PreparerThread = std::thread([this] { PreparerLoop(); });
  }
  // Started also for an invalid pool, which it leaves at once.
  WriterThread = std::thread([this] { WriterLoop(); });
}

TFramePool::~TFramePool() {
  Flush();
  StopPreparing();
  if (WriterThread.joinable()) WriterThread.join();
}

TFramePool::TBlockHeader* TFramePool::Block(std::int32_t i) const {
  return static_cast<TBlockHeader*>(Pool.GetBlock(i));
}

std::uint8_t* TFramePool::Data(std::int32_t i) const {
  return static_cast<std::uint8_t*>(Pool.GetBlock(i)) + BlockHeaderSize;
}

std::uint8_t* TFramePool::Reserve(std::uint32_t n) {
  if (!IsValid() || memoryFailed_) return nullptr;
  const std::uint64_t need = std::uint64_t{n} + RAWFrameRecordPrefixSize;
  // A record that no block can hold is refused rather than written past the
  // end of an empty block.
  if (need > blockBytes_) return nullptr;
  std::int32_t fill = FillIndex.load(std::memory_order_relaxed);
  if (!fillEntered_ && !EnterBlock(fill, need)) return nullptr;
  TBlockHeader* block = Block(fill);
  if (block->Capacity - block->Used < need) {
    const std::int32_t next = NextIndex(fill);
    // Every other block still waits for the writer: the pool is full.
    if (next == WriteIndex.load(std::memory_order_acquire)) return nullptr;
    // The block being left goes to the writer only once the next one can
    // take the record: a block whose pages cannot be had is never entered.
    if (!MakeNextReady(next, need)) return nullptr;
    fill = next;
    FillIndex.store(fill, std::memory_order_release);
    WakeEvent.Signal();
    block = Block(fill);
    assert(block->Used == 0);
  } else if (!MakeFillReady(fill, BlockHeaderSize + block->Used + need)) {
    return nullptr;
  }
  return Data(fill) + block->Used + RAWFrameRecordPrefixSize;
}

// The producer enters block i with room for need bytes: its header and the
// first record's pages are made ready and the header set. The block is the
// producer's: the first fill block, or one the writer has emptied.
bool TFramePool::EnterBlock(std::int32_t i, std::uint64_t need) {
  fillReady_ = 0;
  if (!MakeFillReady(i, BlockHeaderSize + need)) return false;
  Block(i)->Capacity = blockBytes_;
  Block(i)->Used = 0;
  fillEntered_ = true;
  return true;
}

bool TFramePool::MakeNextReady(std::int32_t next, std::uint64_t need) {
  const std::uint64_t ready = fillReady_;
  if (EnterBlock(next, need)) return true;
  fillReady_ = ready;  // still the fill block's
  return false;
}

// Bytes [0, end) of the fill block i ready: known from before, made ready by
// the preparing thread, or made ready here (only the pages still missing).
bool TFramePool::MakeFillReady(std::int32_t i, std::uint64_t end) {
  if (end <= fillReady_) return true;
  const std::uint64_t start = static_cast<std::uint64_t>(i) * blockLength_;
  const std::uint64_t prepared = preparedEnd_.load(std::memory_order_acquire);
  if (prepared >= start + end) {
    fillReady_ = std::min(prepared - start, blockLength_);
    return true;
  }
  if (!Pool.Prepare(i, fillReady_, end - fillReady_)) {
    memoryFailed_ = true;
    return false;
  }
  fillReady_ = end;
  return true;
}

bool TFramePool::Commit(std::uint32_t n) {
  if (!IsValid()) return false;
  const std::int32_t fill = FillIndex.load(std::memory_order_relaxed);
  if (!fillEntered_) return false;
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
  StopPreparing();
  StopRequested.store(true, std::memory_order_release);
  WakeEvent.Signal();
  if (WriterThread.joinable()) WriterThread.join();
  // The writer has ended: the fill block is the last one holding records.
  if (fillEntered_) WriteBlock(FillIndex.load(std::memory_order_relaxed));
}

void TFramePool::PreparerLoop() {
  for (std::int32_t i = 0; i < Pool.Count(); ++i) {
    for (std::uint64_t offset = 0; offset < blockLength_; offset += PrepareStep) {
      if (stopPreparing_.load(std::memory_order_relaxed)) return;
      const std::uint64_t length = std::min(PrepareStep, blockLength_ - offset);
      // Pages missing here: the producer meets the shortage when it gets
      // there (or finds the pages then).
      if (!Pool.Prepare(i, offset, length)) return;
      preparedEnd_.store(static_cast<std::uint64_t>(i) * blockLength_ + offset + length,
                         std::memory_order_release);
    }
  }
}

void TFramePool::StopPreparing() {
  stopPreparing_.store(true, std::memory_order_relaxed);
  if (PreparerThread.joinable()) PreparerThread.join();
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
