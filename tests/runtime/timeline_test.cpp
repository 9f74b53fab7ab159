// The timeline: the block table, insertion at the front, and which blocks
// draw, in which order, at a given music time.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "blocks/blocks.h"
#include "runtime/demo_blocks.h"
#include "runtime/timeline.h"

namespace {

struct Drawn {
  std::string name;
  std::int32_t startMs;
  std::int32_t nowMs;
};

// A block that records its draws instead of drawing.
struct RecordingBlock final : DemoScene_Block {
  RecordingBlock(std::string n, std::int32_t start, std::int32_t end, std::vector<Drawn>* log)
      : DemoScene_Block(start, end, nullptr), name(std::move(n)), log(log) {}
  void render() override { log->push_back({name, startMs, nowMs}); }
  std::string name;
  std::vector<Drawn>* log;
};

class TimelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const BlockEntry& entry : demoBlockTable()) {
      owned.push_back(std::make_unique<RecordingBlock>(entry.className, entry.startMs, entry.endMs, &log));
      timeline.insertFront(owned.back().get());
    }
  }

  // The blocks drawn at a music time, as "name@start".
  std::vector<std::string> drawnAt(std::int32_t ms) {
    log.clear();
    timeline.musicTimeMs = ms;
    timeline.dispatch();
    std::vector<std::string> names;
    for (const Drawn& d : log) {
      EXPECT_EQ(d.nowMs, ms);
      names.push_back(d.name + "@" + std::to_string(d.startMs));
    }
    return names;
  }

  std::vector<std::unique_ptr<RecordingBlock>> owned;
  std::vector<Drawn> log;
  Timeline timeline;
};

using Names = std::vector<std::string>;

TEST_F(TimelineTest, ListRunsInReverseInsertionOrder) {
  Names order;
  for (DemoScene_Block* b : timeline.blocks) {
    order.push_back(static_cast<RecordingBlock*>(b)->name + "@" + std::to_string(b->startMs));
  }
  EXPECT_EQ(order, (Names{"block_credits@148500", "block1_fita@52500", "bloco_final@113500", "block3@78000",
                          "block4@60000", "block1@17500", "block0@0", "block2@57950", "block2@75950",
                          "block2@-2050", "block2@15450"}));
}

TEST_F(TimelineTest, MainBlocksTileTheShowWithoutGaps) {
  // Every millisecond step from 0 to the end has exactly one main block.
  for (std::int32_t t = 0; t < 174500; t += 250) {
    int mainBlocks = 0;
    for (const std::string& n : drawnAt(t)) {
      if (n.rfind("block2@", 0) != 0) ++mainBlocks;
    }
    ASSERT_EQ(mainBlocks, 1) << "at " << t;
  }
}

TEST_F(TimelineTest, StartOfTheShow) {
  // The transition window that starts before 0 is entered at 0 and draws
  // after block0.
  EXPECT_EQ(drawnAt(0), (Names{"block0@0", "block2@-2050"}));
  EXPECT_EQ(drawnAt(-1), (Names{"block2@-2050"}));
  EXPECT_EQ(drawnAt(-2050), (Names{"block2@-2050"}));
  EXPECT_EQ(drawnAt(-2051), Names{});
  EXPECT_EQ(drawnAt(2049), (Names{"block0@0", "block2@-2050"}));
  EXPECT_EQ(drawnAt(2050), (Names{"block0@0"}));
}

TEST_F(TimelineTest, SeamsWithTransitions) {
  // End exclusive: at 17500 block1 draws, not block0; the transition draws
  // over it.
  EXPECT_EQ(drawnAt(17499), (Names{"block0@0", "block2@15450"}));
  EXPECT_EQ(drawnAt(17500), (Names{"block1@17500", "block2@15450"}));
  EXPECT_EQ(drawnAt(60000), (Names{"block4@60000", "block2@57950"}));
  EXPECT_EQ(drawnAt(59999), (Names{"block1_fita@52500", "block2@57950"}));
  EXPECT_EQ(drawnAt(78000), (Names{"block3@78000", "block2@75950"}));
  EXPECT_EQ(drawnAt(80050), (Names{"block3@78000"}));
}

TEST_F(TimelineTest, SeamsWithoutTransitions) {
  EXPECT_EQ(drawnAt(52500), (Names{"block1_fita@52500"}));
  EXPECT_EQ(drawnAt(52499), (Names{"block1@17500"}));
  EXPECT_EQ(drawnAt(113500), (Names{"bloco_final@113500"}));
  EXPECT_EQ(drawnAt(148500), (Names{"block_credits@148500"}));
}

TEST_F(TimelineTest, EndOfTheShow) {
  EXPECT_EQ(drawnAt(174499), (Names{"block_credits@148500"}));
  EXPECT_EQ(drawnAt(174500), Names{});
  EXPECT_EQ(drawnAt(200000), Names{});
}

TEST_F(TimelineTest, EveryBlockGetsTheTimeEvenWhenItDoesNotDraw) {
  drawnAt(30000);
  for (DemoScene_Block* b : timeline.blocks) EXPECT_EQ(b->nowMs, 30000);
  // Each instance of the same class has its own window and time.
  drawnAt(-500);
  for (DemoScene_Block* b : timeline.blocks) EXPECT_EQ(b->nowMs, -500);
}

TEST(DemoBlocksTest, CreatesTheElevenBlocksOfTheTable) {
  Timeline timeline;
  DemoBlocks blocks;
  auto* resources = reinterpret_cast<DemoResources*>(0x1234);
  blocks.create(timeline, resources);
  ASSERT_EQ(timeline.blocks.size(), 11u);
  EXPECT_EQ(blocks.size(), 11u);

  struct Expected {
    const std::type_info& type;
    std::int32_t start, end;
  };
  const Expected expected[] = {
      {typeid(block_credits), 148500, 174500}, {typeid(block1_fita), 52500, 60000},
      {typeid(bloco_final), 113500, 148500},   {typeid(block3), 78000, 113500},
      {typeid(block4), 60000, 78000},          {typeid(block1), 17500, 52500},
      {typeid(block0), 0, 17500},              {typeid(block2), 57950, 62050},
      {typeid(block2), 75950, 80050},          {typeid(block2), -2050, 2050},
      {typeid(block2), 15450, 19550},
  };
  int i = 0;
  for (DemoScene_Block* b : timeline.blocks) {
    EXPECT_EQ(typeid(*b), expected[i].type) << "entry " << i;
    EXPECT_EQ(b->startMs, expected[i].start) << "entry " << i;
    EXPECT_EQ(b->endMs, expected[i].end) << "entry " << i;
    EXPECT_EQ(b->resources, resources);
    ++i;
  }
  timeline.blocks.clear();
  blocks.destroy();
  EXPECT_EQ(blocks.size(), 0u);
}

}  // namespace
