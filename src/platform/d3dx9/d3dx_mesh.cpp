// ID3DXMesh: a vertex buffer, an index buffer and one attribute id per
// triangle. DrawSubset draws the triangles whose attribute equals the id:
// after the index or attribute buffer changes, the triangles are sorted
// (stably, so each subset keeps its file order) into one range per id in a
// draw-order index buffer. Triangles with an index past the vertex count
// are left out rather than read outside the vertex buffer.
#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "platform/d3dx9/d3dx9.h"
#include "platform/d3dx9/d3dx_interfaces.h"

namespace {

// Bytes of one declaration element (0 for types meshes do not take).
int elementSize(BYTE type) {
  switch (type) {
    case D3DDECLTYPE_FLOAT1: return 4;
    case D3DDECLTYPE_FLOAT2: return 8;
    case D3DDECLTYPE_FLOAT3: return 12;
    case D3DDECLTYPE_FLOAT4: return 16;
    case D3DDECLTYPE_D3DCOLOR:
    case D3DDECLTYPE_UBYTE4: return 4;
    default: return 0;
  }
}

class Mesh final : public vorn::d3dx::MeshMethods {
 public:
  Mesh(IDirect3DDevice9* device, DWORD faces, DWORD vertices, DWORD options)
      : device_(device), faces_(faces), vertices_(vertices), options_(options) {
    device_->AddRef();
  }

  HRESULT initialise(const D3DVERTEXELEMENT9* declaration) {
    int count = 0;
    stride_ = 0;
    for (; count < MAXD3DDECLLENGTH && declaration[count].Stream != 0xFF; ++count) {
      const D3DVERTEXELEMENT9& e = declaration[count];
      const int size = elementSize(e.Type);
      if (size == 0) return D3DERR_INVALIDCALL;
      if (e.Stream == 0) stride_ = std::max<DWORD>(stride_, static_cast<DWORD>(e.Offset + size));
    }
    if (count == MAXD3DDECLLENGTH || stride_ == 0) return D3DERR_INVALIDCALL;
    elements_.assign(declaration, declaration + count + 1);
    HRESULT hr = device_->CreateVertexDeclaration(elements_.data(), &declaration_);
    if (FAILED(hr)) return hr;
    const std::uint64_t vertexBytes = static_cast<std::uint64_t>(vertices_) * stride_;
    const std::uint64_t indexBytes = static_cast<std::uint64_t>(faces_) * 3 * indexSize();
    if (vertexBytes > 0x7FFFFFFF || indexBytes > 0x7FFFFFFF) return E_OUTOFMEMORY;
    hr = device_->CreateVertexBuffer(static_cast<UINT>(vertexBytes), 0, 0, D3DPOOL_MANAGED, &vertexBuffer_, nullptr);
    if (FAILED(hr)) return hr;
    hr = device_->CreateIndexBuffer(static_cast<UINT>(indexBytes), 0, indexSize() == 4 ? D3DFMT_INDEX32 : D3DFMT_INDEX16,
                                    D3DPOOL_MANAGED, &drawIndices_, nullptr);
    if (FAILED(hr)) return hr;
    indices_.assign(static_cast<std::size_t>(indexBytes), 0);
    attributes_.assign(faces_, 0);
    return D3D_OK;
  }

  HRESULT DrawSubset(DWORD attribId) override {
    if (dirty_) rebuildRanges();
    auto range = ranges_.find(attribId);
    if (range == ranges_.end()) return D3D_OK;  // no triangle has this id: nothing to draw
    device_->SetVertexDeclaration(declaration_);
    device_->SetStreamSource(0, vertexBuffer_, 0, stride_);
    device_->SetIndices(drawIndices_);
    return device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, vertices_, range->second.first * 3,
                                         range->second.second);
  }

  DWORD GetNumFaces() override { return faces_; }
  DWORD GetNumVertices() override { return vertices_; }
  DWORD GetNumBytesPerVertex() override { return stride_; }
  DWORD GetOptions() override { return options_; }

  HRESULT GetDeclaration(D3DVERTEXELEMENT9 declaration[MAXD3DDECLLENGTH]) override {
    if (!declaration) return D3DERR_INVALIDCALL;
    std::copy(elements_.begin(), elements_.end(), declaration);
    return D3D_OK;
  }

  HRESULT LockVertexBuffer(DWORD flags, void** data) override { return vertexBuffer_->Lock(0, 0, data, flags); }
  HRESULT UnlockVertexBuffer() override { return vertexBuffer_->Unlock(); }

  HRESULT LockIndexBuffer(DWORD flags, void** data) override {
    if (!data || indicesLocked_) return D3DERR_INVALIDCALL;
    indicesLocked_ = true;
    indicesReadOnly_ = (flags & D3DLOCK_READONLY) != 0;
    *data = indices_.data();
    return D3D_OK;
  }
  HRESULT UnlockIndexBuffer() override {
    if (!indicesLocked_) return D3DERR_INVALIDCALL;
    indicesLocked_ = false;
    if (!indicesReadOnly_) dirty_ = true;
    return D3D_OK;
  }

  HRESULT LockAttributeBuffer(DWORD flags, DWORD** data) override {
    if (!data || attributesLocked_) return D3DERR_INVALIDCALL;
    attributesLocked_ = true;
    attributesReadOnly_ = (flags & D3DLOCK_READONLY) != 0;
    *data = attributes_.data();
    return D3D_OK;
  }
  HRESULT UnlockAttributeBuffer() override {
    if (!attributesLocked_) return D3DERR_INVALIDCALL;
    attributesLocked_ = false;
    if (!attributesReadOnly_) dirty_ = true;
    return D3D_OK;
  }

 private:
  ~Mesh() override {
    if (declaration_) declaration_->Release();
    if (vertexBuffer_) vertexBuffer_->Release();
    if (drawIndices_) drawIndices_->Release();
    device_->Release();
  }

  DWORD indexSize() const { return (options_ & D3DXMESH_32BIT) ? 4 : 2; }

  DWORD indexAt(std::size_t i) const {
    if (indexSize() == 4) {
      std::uint32_t v;
      std::memcpy(&v, &indices_[i * 4], 4);
      return v;
    }
    std::uint16_t v;
    std::memcpy(&v, &indices_[i * 2], 2);
    return v;
  }

  void rebuildRanges() {
    dirty_ = false;
    ranges_.clear();
    std::vector<DWORD> order;
    order.reserve(faces_);
    for (DWORD face = 0; face < faces_; ++face) {
      if (indexAt(3 * face) < vertices_ && indexAt(3 * face + 1) < vertices_ && indexAt(3 * face + 2) < vertices_)
        order.push_back(face);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](DWORD a, DWORD b) { return attributes_[a] < attributes_[b]; });
    void* locked = nullptr;
    if (FAILED(drawIndices_->Lock(0, 0, &locked, 0))) return;
    auto* out = static_cast<std::uint8_t*>(locked);
    const DWORD size = indexSize();
    for (std::size_t i = 0; i < order.size(); ++i) {
      std::memcpy(out + i * 3 * size, &indices_[static_cast<std::size_t>(order[i]) * 3 * size], 3 * size);
      auto& range = ranges_[attributes_[order[i]]];
      if (range.second == 0) range.first = static_cast<UINT>(i);
      ++range.second;
    }
    drawIndices_->Unlock();
  }

  IDirect3DDevice9* device_;
  DWORD faces_, vertices_, options_;
  DWORD stride_ = 0;
  std::vector<D3DVERTEXELEMENT9> elements_;
  IDirect3DVertexDeclaration9* declaration_ = nullptr;
  IDirect3DVertexBuffer9* vertexBuffer_ = nullptr;
  IDirect3DIndexBuffer9* drawIndices_ = nullptr;  // in draw order
  std::vector<std::uint8_t> indices_;              // as the caller wrote them
  std::vector<DWORD> attributes_;
  std::map<DWORD, std::pair<UINT, UINT>> ranges_;  // id -> (first face, faces) in draw order
  bool dirty_ = true;
  bool indicesLocked_ = false, indicesReadOnly_ = false;
  bool attributesLocked_ = false, attributesReadOnly_ = false;
};

}  // namespace

HRESULT D3DXCreateMesh(DWORD numFaces, DWORD numVertices, DWORD options, const D3DVERTEXELEMENT9* declaration,
                       IDirect3DDevice9* device, ID3DXMesh** mesh) {
  if (!mesh) return D3DERR_INVALIDCALL;
  *mesh = nullptr;
  if (!device || !declaration || numFaces == 0 || numVertices == 0) return D3DERR_INVALIDCALL;
  // 16-bit indices cannot address more vertices than that.
  if (!(options & D3DXMESH_32BIT) && numVertices > 0xFFFF) return D3DERR_INVALIDCALL;
  auto* created = new Mesh(device, numFaces, numVertices, options);
  HRESULT hr = created->initialise(declaration);
  if (FAILED(hr)) {
    created->Release();
    return hr;
  }
  *mesh = created;
  return D3D_OK;
}
