// vorn-peer: the Windows side of `vorn-bench peer`. Built against the real
// Direct3D 9 and run under Wine, it renders one workload and prints its
// time per frame for the Linux side to pair with its own.
//
// usage: vorn-peer WORKLOAD FRAMES
#include <cstdio>
#include <cstdlib>
#include <string>

#include "peer_workloads.h"

int main(int argc, char** argv) {
  if (argc != 3 || std::atoi(argv[2]) <= 0) {
    std::fprintf(stderr, "usage: vorn-peer WORKLOAD FRAMES\n");
    return 2;
  }
  const peer::Timing timing = peer::run(argv[1], std::atoi(argv[2]));
  if (!timing.ok) {
    std::fprintf(stderr, "vorn-peer: %s\n", timing.error.c_str());
    return 1;
  }
  std::printf("ms_per_frame %.4f\n", timing.msPerFrame);
  return 0;
}
