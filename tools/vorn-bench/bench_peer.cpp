// vorn-bench peer: three Direct3D 9 workloads (peer/peer_workloads.cpp)
// timed on our OpenGL stand-in in this process and, paired workload by
// workload in the same run, on Wine's Direct3D 9 through the Windows build
// of the same source (vorn-peer.exe). scripts/bench-peer.sh builds that and
// runs both.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <stb_image_write.h>

#include "command_registry.h"
#include "peer/peer_workloads.h"
#include "platform/d3d9/d3d9_vorn.h"

namespace {

constexpr const char* kUsage =
    "peer [--frames N] [--wine-exe VORN-PEER.EXE] [--wine COMMAND] [--json] [--png DIR]";

struct PeerOptions {
  int frames = 30;
  std::string wineExe;  // the Windows build of the workloads; empty: ours only
  std::string wine = "wine";
  bool json = false;
  std::string pngDir;  // where the stand-in's last frame of each workload goes
};

struct PeerResult {
  const peer::Workload* workload = nullptr;
  peer::Timing ours, wine;
};

bool parseOptions(const std::vector<std::string>& args, PeerOptions* options) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const bool hasValue = i + 1 < args.size();
    if (args[i] == "--json") options->json = true;
    else if (args[i] == "--frames" && hasValue) options->frames = std::atoi(args[++i].c_str());
    else if (args[i] == "--wine-exe" && hasValue) options->wineExe = args[++i];
    else if (args[i] == "--wine" && hasValue) options->wine = args[++i];
    else if (args[i] == "--png" && hasValue) options->pngDir = args[++i];
    else return false;
  }
  return options->frames > 0;
}

std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs one workload of the Windows build under Wine.
peer::Timing runUnderWine(const PeerOptions& options, const std::string& workload) {
  peer::Timing timing;
  const std::string command = options.wine + " " + shellQuoted(options.wineExe) + " " + workload + " " +
                              std::to_string(options.frames);
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    timing.error = "cannot run " + command;
    return timing;
  }
  std::string output;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
  const int status = pclose(pipe);
  const std::size_t at = output.find("ms_per_frame ");
  if (status != 0 || at == std::string::npos) {
    timing.error = "the Windows build failed under Wine (" + command + ")";
    return timing;
  }
  timing.msPerFrame = std::atof(output.c_str() + at + 13);
  timing.ok = timing.msPerFrame > 0;
  return timing;
}

void printResults(const PeerOptions& options, const std::vector<PeerResult>& results) {
  if (options.json) {
    std::printf("{\n  \"frames\": %d,\n  \"workloads\": [\n", options.frames);
    for (std::size_t i = 0; i < results.size(); ++i) {
      const PeerResult& r = results[i];
      std::printf("    {\"workload\": \"%s\", \"oursMsPerFrame\": %.3f", r.workload->name, r.ours.msPerFrame);
      if (r.wine.ok)
        std::printf(", \"wineMsPerFrame\": %.3f, \"oursOverWine\": %.3f", r.wine.msPerFrame,
                    r.ours.msPerFrame / r.wine.msPerFrame);
      std::printf("}%s\n", i + 1 < results.size() ? "," : "");
    }
    std::printf("  ]\n}\n");
    return;
  }
  std::printf("peer: %d frames a workload, 512x512, paired workload by workload\n", options.frames);
  std::printf("  %-10s %-40s %10s %10s %10s\n", "workload", "", "ours ms", "Wine ms", "ours/Wine");
  for (const PeerResult& r : results) {
    std::printf("  %-10s %-40s %10.2f", r.workload->name, r.workload->description, r.ours.msPerFrame);
    if (r.wine.ok) std::printf(" %10.2f %10.2f\n", r.wine.msPerFrame, r.ours.msPerFrame / r.wine.msPerFrame);
    else std::printf(" %10s %10s\n", "-", "-");
  }
  if (options.wineExe.empty()) std::printf("  (no Windows build given: --wine-exe, or scripts/bench-peer.sh)\n");
}

int runPeer(const std::vector<std::string>& args) {
  PeerOptions options;
  if (!parseOptions(args, &options)) {
    std::fprintf(stderr, "usage: vorn-bench %s\n", kUsage);
    return 2;
  }
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  std::vector<PeerResult> results;
  bool ok = true;
  for (const peer::Workload& workload : peer::workloads()) {
    PeerResult result;
    result.workload = &workload;
    std::fprintf(stderr, "peer: %s on the OpenGL stand-in\n", workload.name);
    std::function<void(IDirect3DDevice9*)> save;
    if (!options.pngDir.empty()) {
      save = [&](IDirect3DDevice9* device) {
        std::vector<std::uint8_t> rgba;
        int w = 0, h = 0;
        const std::string path = options.pngDir + "/peer-" + workload.name + ".png";
        if (!VornD3D_ReadPixels(device, &rgba, &w, &h) || !stbi_write_png(path.c_str(), w, h, 4, rgba.data(), w * 4))
          std::fprintf(stderr, "peer: could not write %s\n", path.c_str());
      };
    }
    result.ours = peer::run(workload.name, options.frames, save);
    if (!options.wineExe.empty()) {
      std::fprintf(stderr, "peer: %s under Wine\n", workload.name);
      result.wine = runUnderWine(options, workload.name);
    }
    for (const peer::Timing* timing : {&result.ours, &result.wine}) {
      if (!timing->error.empty()) {
        std::fprintf(stderr, "peer: %s: %s\n", workload.name, timing->error.c_str());
        ok = false;
      }
    }
    results.push_back(result);
  }
  printResults(options, results);
  return ok ? 0 : 1;
}

tools::Command peerCommand("peer", kUsage, runPeer);

}  // namespace
