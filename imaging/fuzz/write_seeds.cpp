// Writes the imaging fuzz targets' seed corpora: small frames of a smooth
// scene with grain, compressed by the camera's line encoder, packed, and raw.
// Usage: write_seeds DIR (makes DIR/<target>/seed_N).
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging.h"
#include "imaging/encode.h"
#include "imaging/fuzz/fuzz_input.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Scene(int width, int height) {
  std::vector<uint8_t> f(static_cast<size_t>(width) * height);
  uint32_t grain = 12345;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      grain = grain * 1103515245u + 12345u;
      const int v = x * 160 / width + y * 64 / height + static_cast<int>(grain >> 29);
      f[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(v);
    }
  return f;
}

// A packed frame's bytes (10 or 12 bits per sample) taken from the scene.
std::vector<uint8_t> Pack(const std::vector<uint8_t>& scene, int width, int height, int bits) {
  const size_t n = static_cast<size_t>(width) * bits / 8 * height;
  std::vector<uint8_t> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = scene[i % scene.size()];
  return out;
}

void Write(const fs::path& dir, const std::string& target, int index,
           const std::vector<uint8_t>& v) {
  fs::create_directories(dir / target);
  const fs::path path = dir / target / ("seed_" + std::to_string(index));
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(v.data(), 1, v.size(), f);
    std::fclose(f);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  const fs::path dir = argv[1];
  int index = 0;
  for (const auto& [w, h] : {std::pair{64, 16}, std::pair{48, 6}, std::pair{17, 5}}) {
    const std::vector<uint8_t> scene = Scene(w, h);
    std::vector<uint8_t> encoded(CompressedLinesBound(w, h));
    encoded.resize(EncodeCompressedLines(scene.data(), w, h, encoded.data(),
                                         static_cast<uint32_t>(encoded.size())));
    Write(dir, "compressed_lines", index,
          imaging_fuzz::Seed(w, h, 0, encoded.data(), encoded.size()));
    for (int selector = 0; selector < 4; ++selector) {
      const std::vector<uint8_t> packed = Pack(scene, w, h, selector % 2 == 0 ? 10 : 12);
      Write(dir, "unpack", 4 * index + selector,
            imaging_fuzz::Seed(w, h, static_cast<uint8_t>(selector), packed.data(), packed.size()));
    }
    for (int selector = 0; selector < 128; selector += 9)
      Write(dir, "debayer", 16 * index + selector / 9,
            imaging_fuzz::Seed(w, h, static_cast<uint8_t>(selector), scene.data(), scene.size()));
    ++index;
  }
  return 0;
}
