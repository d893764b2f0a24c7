// The copy-data message framing on hostile byte streams. The first byte
// picks the size of the kept messages and seeds the split points; the rest is
// the stream. The stream is fed whole and again in pieces split at arbitrary
// points: both feeds must give the same messages, data and answers, and the
// handler reads every byte it is given, so a read outside the kept buffer is
// a sanitizer report.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "APP/link/CopyDataServer.h"

namespace {

// One message as the handler saw it: its size and a digest of its data.
struct Seen {
  std::uint32_t size;
  bool hasData;
  std::uint64_t digest;
  bool operator==(const Seen&) const = default;
};

std::vector<Seen> Feed(std::uint32_t keptBytes, const std::uint8_t* data, std::size_t size,
                       std::uint32_t splitSeed) {
  std::vector<Seen> seen;
  TCopyDataFramer framer(
      [&seen, keptBytes](std::uint32_t n, const void* bytes) {
        Seen s{n, bytes != nullptr, 1469598103934665603u};
        if (bytes != nullptr) {
          if (n > keptBytes) std::abort();  // data only for kept messages
          for (std::uint32_t i = 0; i < n; ++i)
            s.digest = (s.digest ^ static_cast<const std::uint8_t*>(bytes)[i]) * 1099511628211u;
        }
        seen.push_back(s);
        return static_cast<std::int32_t>(n ^ 0x5a5a5a5au);
      },
      keptBytes);
  const auto answer = [&seen](std::int32_t result) {
    if (seen.empty() || result != static_cast<std::int32_t>(seen.back().size ^ 0x5a5a5a5au))
      std::abort();
    return true;
  };
  std::size_t at = 0;
  std::uint32_t state = splitSeed;
  while (at < size) {
    // Pieces of 1 to 64 bytes, or the rest when unsplit.
    std::size_t piece = size - at;
    if (splitSeed != 0) {
      state = state * 1103515245u + 12345u;
      piece = std::min<std::size_t>(piece, 1 + (state >> 16) % 64);
    }
    // Each piece is its own buffer of exactly its size.
    const std::vector<char> buffer(data + at, data + at + piece);
    if (framer.Feed(buffer.data(), buffer.size(), answer) != piece) std::abort();
    at += piece;
  }
  return seen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // Kept sizes around the correction matrix's 96 bytes, and none at all.
  constexpr std::uint32_t kKept[] = {96, 0, 1, 8, 95, 97, 4096, 96};
  const std::uint32_t keptBytes = kKept[data[0] & 7];
  const std::uint32_t splitSeed = (data[0] >> 3) + 1u;
  const std::vector<Seen> whole = Feed(keptBytes, data + 1, size - 1, 0);
  const std::vector<Seen> split = Feed(keptBytes, data + 1, size - 1, splitSeed);
  if (whole != split) std::abort();
  return 0;
}
