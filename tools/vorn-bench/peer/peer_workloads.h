// Three Direct3D 9 workloads written against the plain Direct3D 9 interface
// only, so that the same source builds against our OpenGL stand-in and, for
// Windows, against the real Direct3D 9 (run under Wine, that is Wine's
// implementation): `vorn-bench peer` times both and pairs the results.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct IDirect3DDevice9;

namespace peer {

struct Workload {
  const char* name;
  const char* description;
};

// sprites, blur, triangles.
const std::vector<Workload>& workloads();

struct Timing {
  bool ok = false;
  double msPerFrame = 0;
  std::string error;  // why it could not run
};

// Renders `frames` frames of a workload in a 512 x 512 window of its own
// (after a few unmeasured ones) and returns the wall time per frame. The
// last frame stays in the back buffer for `lastFrame`, if given.
Timing run(const std::string& workload, int frames,
           const std::function<void(IDirect3DDevice9*)>& lastFrame = {});

}  // namespace peer
