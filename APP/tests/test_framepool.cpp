// The memory pool and the frame pool: allocation failures, the check against
// the memory the process may still take, the ring's edge
// cases, the writer thread's hand-over, and a stress run whose file must equal the committed
// records (run it under ThreadSanitizer too: the tsan preset).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "APP/capture/FramePool.h"
#include "APP/capture/MemPool.h"
#include "common/RAWVideo.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The pool's output file, in memory.
struct MemoryFile {
  MemoryFile() : fd(::memfd_create("framepool", MFD_CLOEXEC)) {}
  ~MemoryFile() { ::close(fd); }
  Bytes Contents() const {
    Bytes bytes(static_cast<std::size_t>(::lseek(fd, 0, SEEK_END)));
    EXPECT_EQ(::pread(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    return bytes;
  }
  int fd;
};

// The allocator of the allocation tests: fails its `failAt`-th call and
// logs every call and free.
struct AllocationLog {
  static inline int calls = 0;
  static inline int failAt = 0;
  static inline std::vector<std::string> events;
  static void* Allocate(std::size_t size) {
    ++calls;
    if (calls == failAt) return nullptr;
    void* block = std::malloc(size);
    events.push_back("alloc " + std::to_string(calls));
    return block;
  }
  static void Free(void* block) {
    events.push_back("free");
    std::free(block);
  }
  static TBlockAllocator Reset(int failingCall) {
    calls = 0;
    failAt = failingCall;
    events.clear();
    return {Allocate, Free};
  }
};

TEST(MemPool, AFailedAllocationLeavesThePoolEmpty) {
  {
    TMemPool pool(5, 64, AllocationLog::Reset(3));
    EXPECT_FALSE(pool.IsValid());
    EXPECT_EQ(pool.Count(), 0);
    EXPECT_EQ(pool.GetBlock(0), nullptr);
  }
  EXPECT_EQ(AllocationLog::events,
            (std::vector<std::string>{"alloc 1", "alloc 2", "free", "free"}));

  TMemPool pool(3, 64, AllocationLog::Reset(0));
  EXPECT_TRUE(pool.IsValid());
  EXPECT_EQ(pool.Count(), 3);
  EXPECT_NE(pool.GetBlock(2), nullptr);
  EXPECT_EQ(pool.GetBlock(-1), nullptr);
  EXPECT_EQ(pool.GetBlock(3), nullptr);

  // Refused before anything is allocated.
  for (auto [count, size] : {std::pair<int, std::uint64_t>{1025, 64}, {0, 64}, {2, 0}}) {
    TMemPool refused(count, size, AllocationLog::Reset(0));
    EXPECT_FALSE(refused.IsValid()) << count << " x " << size;
    EXPECT_EQ(AllocationLog::calls, 0);
  }
  // A block that the machine cannot hold fails at once, without touching
  // memory.
  EXPECT_FALSE(TMemPool(1, std::uint64_t{1} << 50).IsValid());
}

// What the process may still take, from the system files as a table of
// texts; and a pool checked against it takes no block beyond it.
TEST(MemPool, PoolsAreCheckedAgainstMemAvailableAndEveryCgroupLimit) {
  using Files = std::map<std::string, std::string>;
  constexpr std::uint64_t MiB = 1 << 20;
  const std::string meminfo =
      "MemTotal:       8000000 kB\nMemFree:  100 kB\n"
      "MemAvailable:    1024000 kB\nCached: 5 kB\n";
  const std::string v2 = "0::/user.slice/app.scope\n";
  const std::string v1 = "5:cpu,memory:/box\n4:pids:/\n";
  struct Case {
    const char* name;
    Files files;
    std::uint64_t headroom;
  };
  const Case cases[] = {
      {"MemAvailable only", {{"/proc/meminfo", meminfo}}, 1024000 * 1024},
      {"nothing readable", {}, UINT64_MAX},
      {"MemAvailable without its unit", {{"/proc/meminfo", "MemAvailable: 12\n"}}, UINT64_MAX},
      {"cgroup v2 without a limit",
       {{"/proc/meminfo", meminfo},
        {"/proc/self/cgroup", v2},
        {"/sys/fs/cgroup/user.slice/app.scope/memory.max", "max\n"},
        {"/sys/fs/cgroup/user.slice/app.scope/memory.current", "300000000\n"}},
       1024000 * 1024},
      {"cgroup v2 limit less its usage, on a parent",
       {{"/proc/meminfo", meminfo},
        {"/proc/self/cgroup", v2},
        {"/sys/fs/cgroup/user.slice/app.scope/memory.max", "max\n"},
        {"/sys/fs/cgroup/user.slice/memory.max", "419430400\n"},
        {"/sys/fs/cgroup/user.slice/memory.current", "104857600\n"}},
       300 * MiB},
      {"cgroup v2 beside v1 controllers, used up",
       {{"/proc/meminfo", meminfo},
        {"/proc/self/cgroup", "3:pids:/x\n" + v2},
        {"/sys/fs/cgroup/unified/user.slice/app.scope/memory.max", "1000\n"},
        {"/sys/fs/cgroup/unified/user.slice/app.scope/memory.current", "2000\n"}},
       0},
      {"cgroup v1 limit",
       {{"/proc/meminfo", meminfo},
        {"/proc/self/cgroup", v1},
        {"/sys/fs/cgroup/memory/box/memory.limit_in_bytes", "419430400\n"},
        {"/sys/fs/cgroup/memory/box/memory.usage_in_bytes", "52428800\n"},
        {"/sys/fs/cgroup/memory/memory.limit_in_bytes", "9223372036854771712\n"}},
       350 * MiB},
  };
  static std::uint64_t headroom = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TSystemFileReader read = [&c](const std::string& path) -> std::optional<std::string> {
      const auto found = c.files.find(path);
      if (found == c.files.end()) return std::nullopt;
      return found->second;
    };
    headroom = MemoryHeadroom(read);
    EXPECT_EQ(headroom, c.headroom);
    if (headroom == UINT64_MAX) continue;
    // Four blocks that leave exactly the reserve are taken; one byte more
    // each, and none is allocated. The blocks are stand-ins, never touched.
    static int allocations = 0;
    const TBlockAllocator allocator{[](std::size_t) -> void* {
                                      static char block;
                                      ++allocations;
                                      return &block;
                                    },
                                    [](void*) {}, [] { return headroom; }};
    const std::uint64_t free = headroom > PoolMemoryReserve ? headroom - PoolMemoryReserve : 0;
    if (free >= 4) {
      EXPECT_TRUE(TMemPool(4, free / 4, allocator).IsValid());
    }
    allocations = 0;
    EXPECT_FALSE(TMemPool(4, free / 4 + 1, allocator).IsValid());
    EXPECT_EQ(allocations, 0);
  }
}

// A writer that holds every write until released and logs the block sizes.
struct GatedWriter {
  std::atomic<int> entered{0};
  std::promise<void> release;
  std::shared_future<void> gate = release.get_future().share();
  std::vector<std::uint64_t> sizes;
  TFileWriter Writer() {
    return [this](int file, const void* data, std::uint64_t size) {
      ++entered;
      gate.wait();
      sizes.push_back(size);
      return WriteRAWVideoData(file, data, size);
    };
  }
};

// Waits on a clock until `ready` holds.
template <class Condition>
bool WaitUntil(Condition ready) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!ready() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  return ready();
}

// Records of the given frame sizes, each frame filled with its index.
Bytes Records(std::initializer_list<std::uint32_t> sizes) {
  Bytes bytes;
  std::uint8_t index = 0;
  for (std::uint32_t n : sizes) {
    bytes.resize(bytes.size() + 4 + n, index++);
    PutRAWRecordLength(bytes.data() + bytes.size() - 4 - n, n);
  }
  return bytes;
}

bool Store(TFramePool& pool, std::uint32_t n, std::uint8_t fill) {
  std::uint8_t* at = pool.Reserve(n);
  if (at == nullptr) return false;
  std::memset(at, fill, n);
  return pool.Commit(n);
}

TEST(FramePool, ExactFitStaysAndOneByteMoreMovesOnUntilThePoolIsFull) {
  MemoryFile file;
  GatedWriter gate;
  {
    TFramePool pool(file.fd, 2, 100, gate.Writer());
    ASSERT_TRUE(pool.IsValid());
    ASSERT_TRUE(Store(pool, 40, 0));         // block 0: 44 bytes used
    std::uint8_t* exact = pool.Reserve(52);  // 56 = what is left: fits
    ASSERT_NE(exact, nullptr);
    std::uint8_t* next = pool.Reserve(53);  // one more: the next block
    ASSERT_NE(next, nullptr);
    EXPECT_NE(next, exact);
    std::memset(next, 1, 53);
    EXPECT_TRUE(pool.Commit(53));
    ASSERT_TRUE(WaitUntil([&] { return gate.entered > 0; }));  // block 0 is being written
    EXPECT_TRUE(Store(pool, 0, 2));                            // a 4-byte empty record
    // Block 0 still waits for the writer: the second switch is refused.
    EXPECT_EQ(pool.Reserve(96), nullptr);
    EXPECT_EQ(pool.Reserve(97), nullptr);  // larger than any block
    EXPECT_FALSE(pool.Commit(96));         // no room in the fill block
    gate.release.set_value();
    std::uint8_t* after = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (after = pool.Reserve(96)) != nullptr; }));
    std::memset(after, 3, 96);
    EXPECT_TRUE(pool.Commit(96));
  }
  EXPECT_EQ(file.Contents(), Records({40, 53, 0, 96}));
  EXPECT_EQ(gate.sizes, (std::vector<std::uint64_t>{44, 61, 100}));
}

TEST(FramePool, FlushWritesOnlyWhatWasStored) {
  MemoryFile file;
  GatedWriter gate;
  gate.release.set_value();
  TFramePool(file.fd, 3, 1000, gate.Writer()).Flush();
  EXPECT_TRUE(gate.sizes.empty());
  {
    TFramePool pool(file.fd, 3, 1000, gate.Writer());
    ASSERT_TRUE(Store(pool, 10, 0));
    ASSERT_TRUE(Store(pool, 20, 1));
  }
  EXPECT_EQ(gate.sizes, (std::vector<std::uint64_t>{38}));  // one write, the fill block
  EXPECT_EQ(file.Contents(), Records({10, 20}));
}

TEST(FramePool, StressRunOfRandomRecordsThroughTheWriterThread) {
  MemoryFile file;
  Bytes expected;
  std::mt19937 random(12345);
  {
    TFramePool pool(file.fd, 4, 65536, nullptr);
    ASSERT_TRUE(pool.IsValid());
    for (std::uint32_t record = 0; record < 20000; ++record) {
      const std::uint32_t reserve = random() % 20000;
      const std::uint32_t n = random() % (reserve + 1);
      std::uint8_t* at;
      // The producer waits for room, so that every record is stored.
      while ((at = pool.Reserve(reserve)) == nullptr) std::this_thread::yield();
      for (std::uint32_t i = 0; i < n; ++i) at[i] = static_cast<std::uint8_t>(record * 7 + i);
      ASSERT_TRUE(pool.Commit(n));
      const std::size_t start = expected.size();
      expected.resize(start + 4 + n);
      PutRAWRecordLength(expected.data() + start, n);
      std::memcpy(expected.data() + start + 4, at, n);
    }
    pool.Flush();
    EXPECT_FALSE(pool.WriteFailed());
    EXPECT_EQ(pool.StoredRecords(), 20000u);
  }
  EXPECT_TRUE(file.Contents() == expected);
}

}  // namespace
