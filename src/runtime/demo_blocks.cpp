#include "runtime/demo_blocks.h"

#include "blocks/blocks.h"

const std::array<BlockEntry, 11>& demoBlockTable() {
  static const std::array<BlockEntry, 11> table{{
      {BlockKind::block2, "block2", 15450, 19550},
      {BlockKind::block2, "block2", -2050, 2050},
      {BlockKind::block2, "block2", 75950, 80050},
      {BlockKind::block2, "block2", 57950, 62050},
      {BlockKind::block0, "block0", 0, 17500},
      {BlockKind::block1, "block1", 17500, 52500},
      {BlockKind::block4, "block4", 60000, 78000},
      {BlockKind::block3, "block3", 78000, 113500},
      {BlockKind::bloco_final, "bloco_final", 113500, 148500},
      {BlockKind::block1_fita, "block1_fita", 52500, 60000},
      {BlockKind::block_credits, "block_credits", 148500, 174500},
  }};
  return table;
}

namespace {

DemoScene_Block* makeBlock(BlockKind kind, std::int32_t start, std::int32_t end, DemoResources* resources) {
  switch (kind) {
    case BlockKind::block0: return new block0(start, end, resources);
    case BlockKind::block1: return new block1(start, end, resources);
    case BlockKind::block1_fita: return new block1_fita(start, end, resources);
    case BlockKind::block2: return new block2(start, end, resources);
    case BlockKind::block3: return new block3(start, end, resources);
    case BlockKind::block4: return new block4(start, end, resources);
    case BlockKind::bloco_final: return new bloco_final(start, end, resources);
    case BlockKind::block_credits: return new block_credits(start, end, resources);
  }
  return nullptr;
}

// The base class has no virtual destructor, so each block is deleted as the
// class it was created as.
void deleteBlock(BlockKind kind, DemoScene_Block* block) {
  switch (kind) {
    case BlockKind::block0: delete static_cast<block0*>(block); return;
    case BlockKind::block1: delete static_cast<block1*>(block); return;
    case BlockKind::block1_fita: delete static_cast<block1_fita*>(block); return;
    case BlockKind::block2: delete static_cast<block2*>(block); return;
    case BlockKind::block3: delete static_cast<block3*>(block); return;
    case BlockKind::block4: delete static_cast<block4*>(block); return;
    case BlockKind::bloco_final: delete static_cast<bloco_final*>(block); return;
    case BlockKind::block_credits: delete static_cast<block_credits*>(block); return;
  }
}

}  // namespace

void DemoBlocks::create(Timeline& timeline, DemoResources* resources) {
  for (const BlockEntry& entry : demoBlockTable()) {
    DemoScene_Block* block = makeBlock(entry.kind, entry.startMs, entry.endMs, resources);
    owned.emplace_back(entry.kind, block);
    timeline.insertFront(block);
  }
}

void DemoBlocks::destroy() {
  for (auto& [kind, block] : owned) deleteBlock(kind, block);
  owned.clear();
}
