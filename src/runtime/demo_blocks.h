// The show's block table: which block class draws which stretch of music
// time, and the owner of the block objects the main driver creates from it.
#pragma once

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "runtime/timeline.h"

enum class BlockKind { block0, block1, block1_fita, block2, block3, block4, bloco_final, block_credits };

struct BlockEntry {
  BlockKind kind;
  const char* className;
  std::int32_t startMs;
  std::int32_t endMs;
};

// The eleven blocks in insertion order. Each insertion goes to the front of
// the timeline, so the blocks draw in the reverse of this order: the four
// block2 transitions, inserted first, draw last, over the seams.
const std::array<BlockEntry, 11>& demoBlockTable();

// Creates the blocks of the table and owns them; the timeline only points
// at them.
struct DemoBlocks {
  DemoBlocks() = default;
  DemoBlocks(const DemoBlocks&) = delete;
  DemoBlocks& operator=(const DemoBlocks&) = delete;
  ~DemoBlocks() { destroy(); }

  // Creates every block of the table with its window and the resources and
  // inserts each at the front of the timeline.
  void create(Timeline& timeline, DemoResources* resources);
  // Deletes the blocks; the caller empties the timeline first.
  void destroy();
  std::size_t size() const { return owned.size(); }

 private:
  std::vector<std::pair<BlockKind, DemoScene_Block*>> owned;
};
