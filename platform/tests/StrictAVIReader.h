// A strict reader of the uncompressed one-stream AVI files the programs
// write, for the tests: unlike lenient players it trusts no size it cannot
// check. Every chunk and list must lie inside its parent and fill it exactly;
// the main header's and the stream header's frame counts must equal the
// frame chunks of the 'movi' list, each of the format's image size; an index
// must be present exactly when the main header says so, one key-frame entry
// per frame pointing at that frame. Bytes past the RIFF chunk are counted,
// not read: a file cut short while growing keeps what its header describes.
#ifndef PLATFORM_TESTS_STRICTAVIREADER_H
#define PLATFORM_TESTS_STRICTAVIREADER_H

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

struct StrictAVI {
  std::string error;  // empty: every check held
  std::uint32_t frames = 0;
  bool indexed = false;
  std::uint64_t trailingBytes = 0;   // file bytes past the RIFF chunk
  std::uint32_t frameBytes = 0;      // stored bytes of each frame
  std::vector<std::uint8_t> bytes;   // the whole file
  std::vector<std::size_t> frameAt;  // where each frame's bytes start

  bool Ok() const { return error.empty(); }
  // Frame f's stored bytes.
  std::vector<std::uint8_t> Frame(std::size_t f) const {
    const auto at = bytes.begin() + static_cast<std::ptrdiff_t>(frameAt[f]);
    return {at, at + frameBytes};
  }
};

namespace strict_avi {

class Cursor {
 public:
  Cursor(const std::vector<std::uint8_t>& b, std::string& error) : b_(b), error_(error) {}
  bool Fail(const std::string& what) {
    if (error_.empty()) error_ = what;
    return false;
  }
  bool Has(std::size_t at, std::size_t n) const { return at <= b_.size() && n <= b_.size() - at; }
  std::uint32_t U32(std::size_t at) const {
    std::uint32_t v = 0;
    if (Has(at, 4)) std::memcpy(&v, b_.data() + at, 4);
    return v;
  }
  std::string Code(std::size_t at) const {
    return Has(at, 4) ? std::string(b_.begin() + static_cast<std::ptrdiff_t>(at),
                                    b_.begin() + static_cast<std::ptrdiff_t>(at + 4))
                      : std::string();
  }
  // The chunk at `at` inside [at, end): its data size, padded, must fit.
  bool Chunk(std::size_t at, std::size_t end, const std::string& code, std::uint32_t& size) {
    if (Code(at) != code) return Fail("expected '" + code + "' at " + std::to_string(at));
    size = U32(at + 4);
    if (at + 8 + size + (size & 1) > end)
      return Fail("'" + code + "' at " + std::to_string(at) + " passes its parent");
    return true;
  }
  bool List(std::size_t at, std::size_t end, const std::string& type, std::uint32_t& size) {
    if (!Chunk(at, end, "LIST", size)) return false;
    if (size < 4 || Code(at + 8) != type) return Fail("expected list '" + type + "'");
    return true;
  }

 private:
  const std::vector<std::uint8_t>& b_;
  std::string& error_;
};

inline std::size_t Next(std::size_t at, std::uint32_t size) { return at + 8 + size + (size & 1); }

}  // namespace strict_avi

inline StrictAVI ReadStrictAVI(const std::string& path) {
  using strict_avi::Next;
  StrictAVI avi;
  {
    std::ifstream in(path, std::ios::binary);
    avi.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  strict_avi::Cursor c(avi.bytes, avi.error);
  const auto fail = [&](const std::string& what) {
    c.Fail(what);
    return avi;
  };
  if (avi.bytes.size() < 12 || c.Code(0) != "RIFF" || c.Code(8) != "AVI ")
    return fail("no RIFF 'AVI ' file");
  const std::uint64_t riffEnd = std::uint64_t{c.U32(4)} + 8;
  if (riffEnd > avi.bytes.size()) return fail("RIFF size passes the end of the file");
  avi.trailingBytes = avi.bytes.size() - riffEnd;
  const std::size_t end = riffEnd;

  std::uint32_t size = 0;
  if (!c.List(12, end, "hdrl", size)) return avi;
  const std::size_t hdrlEnd = Next(12, size);
  std::uint32_t avihSize = 0;
  if (!c.Chunk(24, hdrlEnd, "avih", avihSize) || avihSize != 56) return fail("bad 'avih'");
  const std::uint32_t flags = c.U32(32 + 12), totalFrames = c.U32(32 + 16);
  if (c.U32(32 + 24) != 1) return fail("not one stream");
  const std::size_t strl = Next(24, avihSize);
  if (!c.List(strl, hdrlEnd, "strl", size)) return avi;
  const std::size_t strlEnd = Next(strl, size);
  std::uint32_t strhSize = 0, strfSize = 0;
  if (!c.Chunk(strl + 12, strlEnd, "strh", strhSize) || strhSize != 56 ||
      c.Code(strl + 20) != "vids")
    return fail("bad 'strh'");
  const std::uint32_t length = c.U32(strl + 20 + 32);
  const std::size_t strf = Next(strl + 12, strhSize);
  if (!c.Chunk(strf, strlEnd, "strf", strfSize) || strfSize < 40) return fail("bad 'strf'");
  avi.frameBytes = c.U32(strf + 8 + 20);
  std::size_t at = Next(strf, strfSize);
  if (at < strlEnd) {
    if (!c.Chunk(at, strlEnd, "strn", size)) return avi;
    at = Next(at, size);
  }
  if (at != strlEnd || strlEnd != hdrlEnd) return fail("'hdrl' not filled exactly");

  const std::size_t movi = hdrlEnd;
  if (!c.List(movi, end, "movi", size)) return avi;
  const std::size_t moviEnd = Next(movi, size);
  for (at = movi + 12; at < moviEnd; at = Next(at, size)) {
    if (!c.Chunk(at, moviEnd, "00db", size)) return avi;
    if (size != avi.frameBytes) return fail("frame chunk of the wrong size");
    avi.frameAt.push_back(at + 8);
  }
  if (at != moviEnd) return fail("'movi' not filled exactly");
  avi.frames = static_cast<std::uint32_t>(avi.frameAt.size());

  at = moviEnd;
  if (at < end) {
    if (!c.Chunk(at, end, "idx1", size)) return avi;
    if (size != 16ull * avi.frames) return fail("index entries differ from the frames");
    for (std::uint32_t f = 0; f < avi.frames; ++f) {
      const std::size_t entry = at + 8 + 16ull * f;
      if (c.Code(entry) != "00db" || c.U32(entry + 4) != 0x10 ||
          c.U32(entry + 8) + movi + 8 + 8 != avi.frameAt[f] || c.U32(entry + 12) != avi.frameBytes)
        return fail("index entry " + std::to_string(f) + " does not point at its frame");
    }
    avi.indexed = true;
    at = Next(at, size);
  }
  if (at != end) return fail("RIFF not filled exactly");
  if (avi.indexed != ((flags & 0x10) != 0)) return fail("index flag differs from the index");
  if (totalFrames != avi.frames || length != avi.frames)
    return fail("header counts " + std::to_string(totalFrames) + "/" + std::to_string(length) +
                " differ from the " + std::to_string(avi.frames) + " frames");
  return avi;
}

#endif
