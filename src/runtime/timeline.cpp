#include "runtime/timeline.h"

void Timeline::dispatch() {
  for (DemoScene_Block* block : blocks) {
    block->nowMs = musicTimeMs;
    if (musicTimeMs >= block->startMs && musicTimeMs < block->endMs) block->render();
  }
}
