// The block classes of the timeline, one per stretch of the show.
#pragma once

#include "runtime/timeline.h"

#define VORN_DECLARE_BLOCK(name)                                          \
  struct name final : DemoScene_Block {                                   \
    using DemoScene_Block::DemoScene_Block;                               \
    void render() override;                                               \
  }

VORN_DECLARE_BLOCK(block0);
VORN_DECLARE_BLOCK(block1);
VORN_DECLARE_BLOCK(block1_fita);
VORN_DECLARE_BLOCK(block2);
VORN_DECLARE_BLOCK(block3);
VORN_DECLARE_BLOCK(block4);
VORN_DECLARE_BLOCK(bloco_final);
VORN_DECLARE_BLOCK(block_credits);

#undef VORN_DECLARE_BLOCK
