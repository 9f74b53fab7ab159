// The device remembers what OpenGL holds, keeps one vertex array per vertex
// source, and skips calls that would change nothing: vertex sources at an
// offset still draw the right vertices, and states changed and set back
// between two draws cost nothing.
#include "d3d9_test_support.h"

namespace d3dtest {
namespace {

using StateShadow = DeviceTest;

// Two 8 x 8 quads side by side (x 0 and 16) in one vertex buffer, each in
// its own colour, and an index buffer with one quad's two triangles.
struct QuadBuffers {
  IDirect3DVertexBuffer9* vertices = nullptr;
  IDirect3DIndexBuffer9* indices = nullptr;
  void release() {
    if (vertices) vertices->Release();
    if (indices) indices->Release();
  }
};

QuadBuffers makeQuads(IDirect3DDevice9* device, DWORD first, DWORD second) {
  QuadBuffers b;
  EXPECT_EQ(device->CreateVertexBuffer(8 * sizeof(Vertex), 0, kFvf, D3DPOOL_MANAGED, &b.vertices, nullptr), D3D_OK);
  EXPECT_EQ(device->CreateIndexBuffer(6 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &b.indices, nullptr), D3D_OK);
  Vertex* v = nullptr;
  b.vertices->Lock(0, 0, reinterpret_cast<void**>(&v), 0);
  for (int q = 0; q < 2; ++q) {
    const float x = q * 16.0f;
    const DWORD c = q ? second : first;
    v[q * 4 + 0] = vertex(x, 0, 0, c, 0, 0);
    v[q * 4 + 1] = vertex(x + 8, 0, 0, c, 1, 0);
    v[q * 4 + 2] = vertex(x + 8, 8, 0, c, 1, 1);
    v[q * 4 + 3] = vertex(x, 8, 0, c, 0, 1);
  }
  b.vertices->Unlock();
  std::uint16_t* index = nullptr;
  b.indices->Lock(0, 0, reinterpret_cast<void**>(&index), 0);
  const std::uint16_t quad[6] = {0, 1, 2, 0, 2, 3};
  std::copy(quad, quad + 6, index);
  b.indices->Unlock();
  return b;
}

TEST_F(StateShadow, StreamOffsetsSelectTheVerticesDrawn) {
  setup2D();
  clear(kBlack);
  QuadBuffers quads = makeQuads(device, kRed, kGreen);
  device->SetIndices(quads.indices);
  device->SetStreamSource(0, quads.vertices, 4 * sizeof(Vertex), sizeof(Vertex));
  ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
  read();
  EXPECT_EQ(at(20, 4), (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(at(4, 4), (Rgba{0, 0, 0, 255}));
  // Back at offset 0: the first quad.
  device->SetStreamSource(0, quads.vertices, 0, sizeof(Vertex));
  ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), D3D_OK);
  read();
  EXPECT_EQ(at(4, 4), (Rgba{255, 0, 0, 255}));
  device->SetStreamSource(0, nullptr, 0, 0);
  device->SetIndices(nullptr);
  quads.release();
}

TEST_F(StateShadow, StatesSetBackBeforeTheNextDrawCostNoCalls) {
  setup2D();
  clear(kBlack);
  QuadBuffers quads = makeQuads(device, kRed, kGreen);
  IDirect3DTexture9* texture = makeTexture(1, 1, {kWhite});
  device->SetTexture(0, texture);
  device->SetStreamSource(0, quads.vertices, 0, sizeof(Vertex));
  device->SetIndices(quads.indices);
  ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);

  // What a material's unbind and the next bind of the same material do.
  device->SetTexture(0, nullptr);
  device->SetRenderState(D3DRS_FOGENABLE, TRUE);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TFACTOR);
  device->SetTexture(0, texture);
  device->SetRenderState(D3DRS_FOGENABLE, FALSE);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_CURRENT);
  // Alpha testing that passes everything changes nothing drawn either.
  device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  VornD3D_ResetGLCallCount();
  ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
  EXPECT_EQ(VornD3D_GLCallCount(), 1u) << "only the draw itself";

  read();
  EXPECT_EQ(at(4, 4), (Rgba{255, 0, 0, 255}));
  device->SetTexture(0, nullptr);
  device->SetStreamSource(0, nullptr, 0, 0);
  device->SetIndices(nullptr);
  texture->Release();
  quads.release();
}

}  // namespace
}  // namespace d3dtest
