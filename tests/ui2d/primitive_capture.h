// Records every primitive the 2D emitter draws, for tests that check what
// was drawn without reading pixels back.
#pragma once

#include <vector>

#include "ui2d/primitives.h"

struct CapturedPrimitive {
  D3DPRIMITIVETYPE type;
  UINT primitiveCount;
  std::vector<ImmediateVertex> vertices;
};

class PrimitiveCapture {
 public:
  PrimitiveCapture() { SetPrimitiveObserver(&PrimitiveCapture::record, this); }
  ~PrimitiveCapture() { SetPrimitiveObserver(nullptr, nullptr); }
  PrimitiveCapture(const PrimitiveCapture&) = delete;
  PrimitiveCapture& operator=(const PrimitiveCapture&) = delete;

  std::vector<CapturedPrimitive> primitives;

 private:
  static void record(D3DPRIMITIVETYPE type, UINT count, const ImmediateVertex* vertices, int vertexCount,
                     void* context) {
    auto* self = static_cast<PrimitiveCapture*>(context);
    self->primitives.push_back(CapturedPrimitive{type, count, std::vector<ImmediateVertex>(vertices, vertices + vertexCount)});
  }
};
