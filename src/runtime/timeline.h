// The timeline of blocks: each block draws one stretch of the show.
#pragma once

#include <cstdint>
#include <list>

struct DemoResources;

struct DemoScene_Block {
  std::int32_t startMs = 0;
  std::int32_t endMs = 0;
  std::int32_t nowMs = 0;
  DemoResources* resources = nullptr;

  DemoScene_Block(std::int32_t start, std::int32_t end, DemoResources* res)
      : startMs(start), endMs(end), resources(res) {}
  virtual void render() = 0;

 protected:
  ~DemoScene_Block() = default;
};

struct Timeline {
  std::list<DemoScene_Block*> blocks;  // not owned
  std::int32_t musicTimeMs = 0;

  // Stores musicTimeMs in every block, renders those whose window contains it.
  void dispatch();
  void insertFront(DemoScene_Block* block) { blocks.push_front(block); }
};
