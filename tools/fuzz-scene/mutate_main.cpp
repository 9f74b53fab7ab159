// A small mutation fuzzer for compilers without libFuzzer: it mutates seed
// files (and a few scenes built with the writer) for a bounded number of runs
// or seconds and feeds each result to LLVMFuzzerTestOneInput. A crash leaves
// the input that caused it in fuzz-scene-crash.nc.
//
//   fuzz-scene [--seconds S] [--runs N] [--seed X] PATH...
//
// PATH is a seed file or a folder of seed files.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "scene/scene_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern std::size_t g_fuzzSceneAccepted;

namespace {

std::vector<std::uint8_t> g_current;

void saveCurrent() {
  const int fd = ::open("fuzz-scene-crash.nc", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return;
  const std::uint8_t* p = g_current.data();
  std::size_t left = g_current.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n <= 0) break;
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  ::close(fd);
}

extern "C" void onFatalSignal(int signal) {
  saveCurrent();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

AnimationKey key(float time, float x) {
  AnimationKey k;
  k.time = time;
  k.positionIn = k.position = k.positionOut = {x, 0, 0};
  return k;
}

// Well-formed scenes that reach every kind of record, for the mutations to
// start from.
std::vector<std::vector<std::uint8_t>> builtinSeeds() {
  using namespace scenefile;
  std::vector<std::vector<std::uint8_t>> seeds;
  seeds.push_back(encode(SceneRecord{}));

  SceneRecord scene;
  scene.textures = {"a.png", "b.png", "c.png"};
  scene.materials.push_back({"m0", {1, 0, 0, 1}, MAT_BLEND, {2, 0}});
  scene.materials.push_back({"m1", {0, 1, 0, 0.5f}, MAT_PROGRAM | MAT_FOG, {}});
  ModelRecord model;
  model.name = "tri";
  model.elements = {{3, 1, 0, 0}, {3, 2, 12, 0}, {2, 4, 24, 0}, {4, 8, 32, 0}};
  model.vertexCount = 3;
  model.vertexData.assign(3 * strideOf(model.elements), 0x3f);
  model.subsets.push_back({1, {0, 1, 2}});
  model.subsets.push_back({0, {2, 1, 0, 0, 2, 1}});
  scene.models.push_back(model);
  scene.cameras.push_back({"cam", 7});
  NodeRecord a;
  a.name = "a";
  a.flags = NODE_PARENT | NODE_MODEL | NODE_ANIMATED;
  a.parentIndex = 2;
  a.keys = {key(0, 0), key(1, 1), key(1, 2), key(4, 3)};
  NodeRecord b;
  b.name = "b";
  b.flags = NODE_CAMERA | NODE_ANIMATED | NODE_FIXED_WORLD;
  b.keys = {key(2, 5)};
  NodeRecord c;
  c.name = "c";
  scene.nodes = {a, b, c};
  seeds.push_back(encode(scene));
  return seeds;
}

void addSeedFile(const std::filesystem::path& path, std::vector<std::vector<std::uint8_t>>* seeds) {
  std::ifstream in(path, std::ios::binary);
  seeds->emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class Mutator {
 public:
  explicit Mutator(std::uint64_t seed) : rng_(seed) {}

  std::size_t below(std::size_t n) { return n ? std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_) : 0; }

  void mutate(std::vector<std::uint8_t>& data, const std::vector<std::vector<std::uint8_t>>& seeds) {
    static const std::uint32_t kWords[] = {0,          1,          2,          3,          4,
                                           0x7F,       0x80,       0xFF,       0x100,      0xFFFF,
                                           0x10000,    0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF,
                                           0x3F800000 /* 1.0f */,  0x7FC00000 /* NaN */, 0xFF800000 /* -inf */};
    switch (below(data.empty() ? 3 : 9)) {
      case 0:  // insert random bytes
      {
        const std::size_t at = below(data.size() + 1);
        const std::size_t count = 1 + below(8);
        for (std::size_t i = 0; i < count; ++i)
          data.insert(data.begin() + static_cast<std::ptrdiff_t>(at), static_cast<std::uint8_t>(below(256)));
        break;
      }
      case 1:  // splice in a piece of another seed
      {
        const auto& other = seeds[below(seeds.size())];
        if (other.empty()) break;
        const std::size_t from = below(other.size());
        const std::size_t count = 1 + below(other.size() - from);
        const std::size_t at = below(data.size() + 1);
        data.insert(data.begin() + static_cast<std::ptrdiff_t>(at), other.begin() + static_cast<std::ptrdiff_t>(from),
                    other.begin() + static_cast<std::ptrdiff_t>(from + count));
        break;
      }
      case 2:  // append an interesting word
      {
        const std::uint32_t w = kWords[below(std::size(kWords))];
        for (int i = 0; i < 4; ++i) data.push_back(static_cast<std::uint8_t>(w >> (8 * i)));
        break;
      }
      case 3:  // flip a bit
        data[below(data.size())] ^= static_cast<std::uint8_t>(1u << below(8));
        break;
      case 4:  // random byte
        data[below(data.size())] = static_cast<std::uint8_t>(below(256));
        break;
      case 5:  // overwrite a word, usually at a 4-byte boundary as the format lays them out
      case 6: {
        if (data.size() < 4) break;
        std::size_t at = below(data.size() - 3);
        if (below(4)) at &= ~std::size_t{3};
        std::uint32_t w = kWords[below(std::size(kWords))];
        if (below(3) == 0) w = static_cast<std::uint32_t>(data.size() - at + below(16) - 8);
        for (int i = 0; i < 4; ++i) data[at + i] = static_cast<std::uint8_t>(w >> (8 * i));
        break;
      }
      case 7:  // truncate
        data.resize(below(data.size()));
        break;
      case 8:  // erase a range
      {
        const std::size_t at = below(data.size());
        const std::size_t count = 1 + below(std::min<std::size_t>(16, data.size() - at));
        data.erase(data.begin() + static_cast<std::ptrdiff_t>(at),
                   data.begin() + static_cast<std::ptrdiff_t>(at + count));
        break;
      }
    }
  }

 private:
  std::mt19937_64 rng_;
};

}  // namespace

int main(int argc, char** argv) {
  double seconds = 10.0;
  std::uint64_t runs = 0;  // 0: no limit on runs
  std::uint64_t seed = 1;
  std::vector<std::vector<std::uint8_t>> seeds = builtinSeeds();
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--seconds" && i + 1 < argc) {
      seconds = std::atof(argv[++i]);
    } else if (arg == "--runs" && i + 1 < argc) {
      runs = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--seed" && i + 1 < argc) {
      seed = std::strtoull(argv[++i], nullptr, 10);
    } else if (std::filesystem::is_directory(arg)) {
      for (const auto& entry : std::filesystem::directory_iterator(arg))
        if (entry.is_regular_file() && entry.path().extension() == ".nc") addSeedFile(entry.path(), &seeds);
    } else if (std::filesystem::is_regular_file(arg)) {
      addSeedFile(arg, &seeds);
    } else {
      std::fprintf(stderr, "usage: fuzz-scene [--seconds S] [--runs N] [--seed X] PATH...\n");
      return 2;
    }
  }
  for (int signal : {SIGSEGV, SIGABRT, SIGFPE, SIGBUS, SIGILL}) std::signal(signal, onFatalSignal);

  // Every seed as it is first, then stacked mutations of random seeds.
  for (const auto& input : seeds) {
    g_current = input;
    LLVMFuzzerTestOneInput(g_current.data(), g_current.size());
  }
  Mutator mutator(seed);
  const auto start = std::chrono::steady_clock::now();
  std::uint64_t done = 0;
  for (;; ++done) {
    if (runs && done >= runs) break;
    if ((done & 255) == 0 &&
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >= seconds)
      break;
    g_current = seeds[mutator.below(seeds.size())];
    const std::size_t stack = 1 + mutator.below(8);
    for (std::size_t m = 0; m < stack; ++m) mutator.mutate(g_current, seeds);
    LLVMFuzzerTestOneInput(g_current.data(), g_current.size());
  }
  std::printf("fuzz-scene: %zu seeds, %llu mutated inputs, %zu inputs accepted in all, no crash\n", seeds.size(),
              static_cast<unsigned long long>(done), g_fuzzSceneAccepted);
  return 0;
}
