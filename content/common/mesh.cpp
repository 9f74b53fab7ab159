#include "common/mesh.h"

#include <algorithm>
#include <cmath>

#include "font/pixel_font.h"

namespace content {

std::uint32_t Mesh::add(V3 p, V3 n, float u, float v) {
  Vertex vertex;
  vertex.p = p;
  vertex.n = normalize(n);
  vertex.u = u;
  vertex.v = v;
  vertex.build = build;
  vertex.shade = shade;
  vertex.color = color;
  vertices.push_back(vertex);
  return static_cast<std::uint32_t>(vertices.size() - 1);
}

void Mesh::triangle(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
  if (static_cast<int>(groups.size()) <= group) groups.resize(group + 1);
  // Keep the winding counter-clockwise about the vertex normals.
  const V3 pa = vertices[a].p, pb = vertices[b].p, pc = vertices[c].p;
  const V3 geometric = cross(pb - pa, pc - pa);
  const V3 shading = vertices[a].n + vertices[b].n + vertices[c].n;
  auto& g = groups[group];
  if (dot(geometric, shading) < 0) {
    g.insert(g.end(), {a, c, b});
  } else {
    g.insert(g.end(), {a, b, c});
  }
}

void Mesh::quad(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
  triangle(a, b, c);
  triangle(a, c, d);
}

void Mesh::face(V3 a, V3 b, V3 c, V3 d) {
  V3 n = cross(b - a, d - a);
  if (length(n) < 1e-12f) n = cross(c - b, a - b);
  const std::uint32_t ia = add(a, n, 0, 0), ib = add(b, n, 1, 0), ic = add(c, n, 1, 1), id = add(d, n, 0, 1);
  quad(ia, ib, ic, id);
}

void Mesh::faceOutward(V3 inside, V3 a, V3 b, V3 c, V3 d) {
  const V3 n = cross(b - a, d - a);
  if (dot(n, (a + b + c + d) * 0.25f - inside) < 0) {
    face(a, d, c, b);
  } else {
    face(a, b, c, d);
  }
}

void Mesh::triangleFace(V3 a, V3 b, V3 c) {
  const V3 n = cross(b - a, c - a);
  triangle(add(a, n, 0, 0), add(b, n, 1, 0), add(c, n, 0.5f, 1));
}

std::size_t Mesh::triangleCount() const {
  std::size_t count = 0;
  for (const auto& g : groups) count += g.size() / 3;
  return count;
}

void Mesh::append(const Mesh& other, const M4& m) {
  const std::uint32_t base = static_cast<std::uint32_t>(vertices.size());
  for (Vertex v : other.vertices) {
    v.p = m.point(v.p);
    v.n = m.normal(v.n);
    vertices.push_back(v);
  }
  if (groups.size() < other.groups.size()) groups.resize(other.groups.size());
  for (std::size_t g = 0; g < other.groups.size(); ++g)
    for (std::uint32_t index : other.groups[g]) groups[g].push_back(base + index);
}

void Mesh::transform(const M4& m) {
  for (Vertex& v : vertices) {
    v.p = m.point(v.p);
    v.n = m.normal(v.n);
  }
}

void Mesh::setBuild(const std::function<float(V3)>& f) {
  for (Vertex& v : vertices) v.build = f(v.p);
}

void Mesh::bounds(V3* lo, V3* hi) const {
  V3 a{1e30f, 1e30f, 1e30f}, b{-1e30f, -1e30f, -1e30f};
  for (const Vertex& v : vertices) {
    a = {std::min(a.x, v.p.x), std::min(a.y, v.p.y), std::min(a.z, v.p.z)};
    b = {std::max(b.x, v.p.x), std::max(b.y, v.p.y), std::max(b.z, v.p.z)};
  }
  *lo = a;
  *hi = b;
}

namespace {

V3 axis(int i) { return i == 0 ? V3{1, 0, 0} : i == 1 ? V3{0, 1, 0} : V3{0, 0, 1}; }

// Shapes are built around their own origin in a scratch mesh with the
// caller's attributes, then moved into the caller's current group.
Mesh blankLike(const Mesh& mesh) {
  Mesh local;
  local.build = mesh.build;
  local.shade = mesh.shade;
  local.color = mesh.color;
  return local;
}

void placeInto(Mesh& mesh, const Mesh& local, const M4& m) {
  if (local.groups.empty()) return;
  Mesh placed;
  placed.groups.resize(mesh.group + 1);
  placed.vertices = local.vertices;
  placed.groups[mesh.group] = local.groups[0];
  mesh.append(placed, m);
}

// A face of a convex solid centred at `centre`, turned to face outwards.
void outwardFace(Mesh& mesh, V3 centre, V3 a, V3 b, V3 c, V3 d) {
  const V3 n = cross(b - a, d - a);
  if (dot(n, (a + b + c + d) * 0.25f - centre) < 0) {
    mesh.face(a, d, c, b);
  } else {
    mesh.face(a, b, c, d);
  }
}

void outwardTriangle(Mesh& mesh, V3 centre, V3 a, V3 b, V3 c) {
  const V3 n = cross(b - a, c - a);
  if (dot(n, (a + b + c) / 3.0f - centre) < 0) {
    mesh.triangleFace(a, c, b);
  } else {
    mesh.triangleFace(a, b, c);
  }
}

}  // namespace

void addBox(Mesh& mesh, V3 h, const M4& m) {
  Mesh local = blankLike(mesh);
  for (int i = 0; i < 3; ++i) {
    for (int s = -1; s <= 1; s += 2) {
      const V3 n = axis(i) * static_cast<float>(s);
      const V3 u = axis((i + 1) % 3);
      const V3 v = axis((i + 2) % 3) * static_cast<float>(s);
      auto corner = [&](float a, float b) { return mulComp(n + u * a + v * b, h); };
      local.face(corner(-1, -1), corner(1, -1), corner(1, 1), corner(-1, 1));
    }
  }
  placeInto(mesh, local, m);
}

void addBoxBetween(Mesh& mesh, V3 lo, V3 hi) {
  addBox(mesh, (hi - lo) * 0.5f, M4::translation((hi + lo) * 0.5f));
}

void addBevelBox(Mesh& mesh, V3 h, float bevel, const M4& m) {
  const float b = std::min({bevel, h.x * 0.49f, h.y * 0.49f, h.z * 0.49f});
  Mesh local = blankLike(mesh);
  // Corner point of octant s on the face of axis i.
  auto point = [&](int i, V3 s) {
    V3 p{s.x * (h.x - b), s.y * (h.y - b), s.z * (h.z - b)};
    if (i == 0) p.x = s.x * h.x;
    if (i == 1) p.y = s.y * h.y;
    if (i == 2) p.z = s.z * h.z;
    return p;
  };
  const V3 centre{0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    const int j = (i + 1) % 3, k = (i + 2) % 3;
    for (int s = -1; s <= 1; s += 2) {
      // The flat face.
      auto sv = [&](float a, float c) {
        V3 r;
        float* comps[3] = {&r.x, &r.y, &r.z};
        *comps[i] = static_cast<float>(s);
        *comps[j] = a;
        *comps[k] = c;
        return r;
      };
      outwardFace(local, centre, point(i, sv(-1, -1)), point(i, sv(1, -1)), point(i, sv(1, 1)), point(i, sv(-1, 1)));
      // The chamfer along the edge shared with the face of axis j.
      for (int t = -1; t <= 1; t += 2) {
        const V3 s0 = sv(static_cast<float>(t), -1), s1 = sv(static_cast<float>(t), 1);
        outwardFace(local, centre, point(i, s0), point(j, s0), point(j, s1), point(i, s1));
      }
    }
  }
  for (int sx = -1; sx <= 1; sx += 2)
    for (int sy = -1; sy <= 1; sy += 2)
      for (int sz = -1; sz <= 1; sz += 2) {
        const V3 s{static_cast<float>(sx), static_cast<float>(sy), static_cast<float>(sz)};
        outwardTriangle(local, centre, point(0, s), point(1, s), point(2, s));
      }
  placeInto(mesh, local, m);
}

void addBeam(Mesh& mesh, V3 a, V3 b, float thickness, V3 up) {
  const V3 d = b - a;
  const float len = length(d);
  if (len <= 0) return;
  const V3 f = d / len;
  V3 side = cross(f, up);
  if (length(side) < 1e-4f) side = cross(f, V3{1, 0, 0});
  side = normalize(side) * (thickness * 0.5f);
  const V3 u = normalize(cross(side, f)) * (thickness * 0.5f);
  // Four long faces; the square ends stay open (they are too small to see).
  const V3 ring[4] = {side + u, -side + u, -side - u, side - u};
  for (int i = 0; i < 4; ++i) {
    const V3 p0 = ring[i], p1 = ring[(i + 1) % 4];
    const V3 n = normalize(p0 + p1);
    mesh.quad(mesh.add(a + p0, n, 0, 0), mesh.add(a + p1, n, 1, 0), mesh.add(b + p1, n, 1, 1),
              mesh.add(b + p0, n, 0, 1));
  }
}

void addCylinder(Mesh& mesh, float radius, float height, int segments, bool caps, const M4& m) {
  Mesh local = blankLike(mesh);
  for (int i = 0; i <= segments; ++i) {
    const float a = 2 * kPi * static_cast<float>(i) / static_cast<float>(segments);
    const V3 n{std::cos(a), 0, std::sin(a)};
    const float u = static_cast<float>(i) / static_cast<float>(segments);
    local.add(n * radius, n, u, 0);
    local.add(n * radius + V3{0, height, 0}, n, u, 1);
  }
  for (int i = 0; i < segments; ++i) {
    const std::uint32_t a = 2 * i, b = a + 1, c = a + 3, d = a + 2;
    local.quad(a, b, c, d);
  }
  if (caps) {
    for (int top = 0; top <= 1; ++top) {
      const float y = top ? height : 0;
      const V3 n{0, top ? 1.0f : -1.0f, 0};
      const std::uint32_t centre = local.add({0, y, 0}, n, 0.5f, 0.5f);
      std::uint32_t first = 0, previous = 0;
      for (int i = 0; i <= segments; ++i) {
        const float a = 2 * kPi * static_cast<float>(i) / static_cast<float>(segments);
        const std::uint32_t index =
            local.add({std::cos(a) * radius, y, std::sin(a) * radius}, n, 0.5f + 0.5f * std::cos(a), 0.5f + 0.5f * std::sin(a));
        if (i == 0) first = index;
        if (i > 0) local.triangle(centre, previous, index);
        previous = index;
      }
      (void)first;
    }
  }
  placeInto(mesh, local, m);
}

void addGrid(Mesh& mesh, float w, float d, int nx, int nz, const M4& m,
             const std::function<float(float, float)>& height) {
  Mesh local = blankLike(mesh);
  auto h = [&](float x, float z) { return height ? height(x, z) : 0.0f; };
  const float dx = w / static_cast<float>(nx), dz = d / static_cast<float>(nz);
  for (int j = 0; j <= nz; ++j)
    for (int i = 0; i <= nx; ++i) {
      const float x = -w * 0.5f + dx * static_cast<float>(i), z = -d * 0.5f + dz * static_cast<float>(j);
      const float e = 0.5f * std::min(dx, dz);
      const V3 n = normalize(V3{h(x - e, z) - h(x + e, z), 2 * e, h(x, z - e) - h(x, z + e)});
      local.add({x, h(x, z), z}, n, static_cast<float>(i) / static_cast<float>(nx),
                static_cast<float>(j) / static_cast<float>(nz));
    }
  for (int j = 0; j < nz; ++j)
    for (int i = 0; i < nx; ++i) {
      const std::uint32_t a = j * (nx + 1) + i;
      local.quad(a, a + 1, a + nx + 2, a + nx + 1);
    }
  placeInto(mesh, local, m);
}

void addRect(Mesh& mesh, float x0, float y0, float x1, float y1, float z) {
  const V3 n{0, 0, 1};
  const std::uint32_t a = mesh.add({x0, y0, z}, n, 0, 0), b = mesh.add({x1, y0, z}, n, 1, 0),
                      c = mesh.add({x1, y1, z}, n, 1, 1), d = mesh.add({x0, y1, z}, n, 0, 1);
  mesh.quad(a, b, c, d);
}

void addRingXY(Mesh& mesh, float r0, float r1, int segments, float a0, float a1, float z) {
  const V3 n{0, 0, 1};
  std::uint32_t pi = 0, po = 0;
  for (int i = 0; i <= segments; ++i) {
    const float t = static_cast<float>(i) / static_cast<float>(segments);
    const float a = a0 + (a1 - a0) * t;
    const V3 dir{std::cos(a), std::sin(a), 0};
    const std::uint32_t ii = mesh.add(dir * r0 + V3{0, 0, z}, n, t, 0);
    const std::uint32_t io = mesh.add(dir * r1 + V3{0, 0, z}, n, t, 1);
    if (i > 0) mesh.quad(pi, po, io, ii);
    pi = ii;
    po = io;
  }
}

namespace {

// A closed outline in the x/y plane around a hole, extruded in z (flat when
// thickness is 0): front face between the hole and the outline (matched point
// by point, so the outline must be star-shaped about the centre), back face,
// outer and inner walls.
void addExtrudedOutline(Mesh& mesh, const std::vector<std::pair<float, float>>& outline, float holeRadius,
                        float thickness, const M4& m) {
  Mesh local = blankLike(mesh);
  const std::size_t n = outline.size();
  const float zf = thickness * 0.5f;
  auto outer = [&](std::size_t i, float z) { return V3{outline[i % n].first, outline[i % n].second, z}; };
  auto inner = [&](std::size_t i, float z) {
    const float a = std::atan2(outline[i % n].second, outline[i % n].first);
    return V3{std::cos(a) * holeRadius, std::sin(a) * holeRadius, z};
  };
  const int sides = thickness > 0 ? 2 : 1;
  for (int side = 0; side < sides; ++side) {
    const float z = side == 0 ? zf : -zf;
    const V3 nrm{0, 0, side == 0 ? 1.0f : -1.0f};
    for (std::size_t i = 0; i < n; ++i) {
      const V3 a = inner(i, z), b = outer(i, z), c = outer(i + 1, z), d = inner(i + 1, z);
      auto uv = [&](V3 p) { return std::pair<float, float>{0.5f + p.x * 0.05f, 0.5f + p.y * 0.05f}; };
      const auto ua = uv(a), ub = uv(b), uc = uv(c), ud = uv(d);
      local.quad(local.add(a, nrm, ua.first, ua.second), local.add(b, nrm, ub.first, ub.second),
                 local.add(c, nrm, uc.first, uc.second), local.add(d, nrm, ud.first, ud.second));
    }
  }
  if (thickness > 0) {
    for (std::size_t i = 0; i < n; ++i) {
      const V3 a = outer(i, zf), b = outer(i + 1, zf), c = outer(i + 1, -zf), d = outer(i, -zf);
      const V3 mid = (a + b) * 0.5f;
      V3 nrm = normalize(cross(b - a, V3{0, 0, 1}));
      if (dot(nrm, V3{mid.x, mid.y, 0}) < 0) nrm = -nrm;
      local.quad(local.add(a, nrm, 0, 0), local.add(b, nrm, 1, 0), local.add(c, nrm, 1, 1), local.add(d, nrm, 0, 1));
      if (holeRadius > 0) {
        const V3 e = inner(i, zf), f = inner(i + 1, zf), g = inner(i + 1, -zf), h = inner(i, -zf);
        const V3 mi = (e + f) * 0.5f;
        const V3 ni = normalize(V3{-mi.x, -mi.y, 0});
        local.quad(local.add(e, ni, 0, 0), local.add(f, ni, 1, 0), local.add(g, ni, 1, 1), local.add(h, ni, 0, 1));
      }
    }
  }
  placeInto(mesh, local, m);
}

}  // namespace

std::vector<std::pair<float, float>> gearOutline(int teeth, float rootRadius, float tipRadius, float phase) {
  std::vector<std::pair<float, float>> outline;
  const float pitch = 2 * kPi / static_cast<float>(teeth);
  auto at = [&](float a, float r) { outline.emplace_back(std::cos(a) * r, std::sin(a) * r); };
  for (int k = 0; k < teeth; ++k) {
    const float c = phase + pitch * static_cast<float>(k);
    at(c - pitch * 0.5f, rootRadius);
    at(c - pitch * 0.27f, rootRadius);
    at(c - pitch * 0.15f, tipRadius);
    at(c + pitch * 0.15f, tipRadius);
    at(c + pitch * 0.27f, rootRadius);
  }
  return outline;
}

void addGear(Mesh& mesh, int teeth, float rootRadius, float tipRadius, float holeRadius, float thickness, float phase,
             const M4& m) {
  addExtrudedOutline(mesh, gearOutline(teeth, rootRadius, tipRadius, phase), holeRadius, thickness, m);
}

void addPolygonBand(Mesh& mesh, const std::vector<std::pair<float, float>>& polygon, float width, float z) {
  const std::size_t n = polygon.size();
  if (n < 3) return;
  const V3 nz{0, 0, 1};
  auto pt = [&](std::size_t i) { return V3{polygon[i % n].first, polygon[i % n].second, z}; };
  std::vector<V3> inner(n);
  for (std::size_t i = 0; i < n; ++i) {
    const V3 prev = pt(i + n - 1), cur = pt(i), next = pt(i + 1);
    // Inward normals of the two edges of a counter-clockwise polygon.
    const V3 e0 = normalize(cur - prev), e1 = normalize(next - cur);
    const V3 n0{-e0.y, e0.x, 0}, n1{-e1.y, e1.x, 0};
    V3 dir = normalize(n0 + n1);
    const float c = dot(dir, n0);
    float reach = c > 0.25f ? width / c : width * 2.0f;
    if (length(n0 + n1) < 1e-4f) dir = n0, reach = width;
    inner[i] = cur + dir * reach;
  }
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t j = (i + 1) % n;
    mesh.quad(mesh.add(pt(i), nz, 0, 0), mesh.add(pt(j), nz, 1, 0), mesh.add(inner[j], nz, 1, 1),
              mesh.add(inner[i], nz, 0, 1));
  }
}

void addRing(Mesh& mesh, float r0, float r1, float thickness, int segments, const M4& m) {
  std::vector<std::pair<float, float>> outline;
  for (int i = 0; i < segments; ++i) {
    const float a = 2 * kPi * static_cast<float>(i) / static_cast<float>(segments);
    outline.emplace_back(std::cos(a) * r1, std::sin(a) * r1);
  }
  addExtrudedOutline(mesh, outline, r0, thickness, m);
}

std::vector<Frame> framesAlong(const std::function<V3(float)>& curve, int count, V3 up) {
  std::vector<Frame> frames;
  for (int i = 0; i <= count; ++i) {
    const float t = static_cast<float>(i) / static_cast<float>(count);
    const float e = 0.5f / static_cast<float>(count);
    Frame f;
    f.p = curve(t);
    f.t = normalize(curve(std::min(1.0f, t + e)) - curve(std::max(0.0f, t - e)));
    f.right = normalize(cross(f.t, up));
    f.up = cross(f.right, f.t);
    frames.push_back(f);
  }
  return frames;
}

void addSweep(Mesh& mesh, const std::vector<Frame>& frames, const std::vector<std::pair<float, float>>& profile,
              bool closed, bool smooth, float vScale) {
  const std::size_t n = profile.size();
  const std::size_t edges = closed ? n : n - 1;
  if (frames.size() < 2 || n < 2) return;
  // Distance along the path for v.
  std::vector<float> along(frames.size(), 0.0f);
  for (std::size_t j = 1; j < frames.size(); ++j) along[j] = along[j - 1] + length(frames[j].p - frames[j - 1].p);
  // Profile edge normals in the profile plane: (dy, -dx) is to the right of
  // the direction of travel, outward for a counter-clockwise outline.
  auto edgeNormal = [&](std::size_t i) {
    const auto& a = profile[i % n];
    const auto& b = profile[(i + 1) % n];
    const float dx = b.first - a.first, dy = b.second - a.second;
    const float l = std::sqrt(dx * dx + dy * dy);
    return std::pair<float, float>{l > 0 ? dy / l : 0, l > 0 ? -dx / l : 0};
  };
  float perimeter = 0;
  std::vector<float> uAt(n + 1, 0.0f);
  for (std::size_t i = 0; i < n; ++i) {
    const auto& a = profile[i];
    const auto& b = profile[(i + 1) % n];
    perimeter += std::sqrt((b.first - a.first) * (b.first - a.first) + (b.second - a.second) * (b.second - a.second));
    uAt[i + 1] = perimeter;
  }
  const float uTotal = closed ? perimeter : uAt[n - 1];
  auto place = [&](const Frame& f, std::pair<float, float> q) { return f.p + f.right * q.first + f.up * q.second; };
  auto toWorld = [&](const Frame& f, std::pair<float, float> nq) { return f.right * nq.first + f.up * nq.second; };
  for (std::size_t e = 0; e < edges; ++e) {
    const std::size_t i0 = e, i1 = (e + 1) % n;
    std::pair<float, float> n0, n1;
    if (smooth) {
      auto avg = [&](std::size_t i) {
        std::pair<float, float> a = edgeNormal(i);
        std::pair<float, float> b = a;
        if (closed || i > 0) b = edgeNormal((i + n - 1) % n);
        float x = a.first + b.first, y = a.second + b.second;
        const float l = std::sqrt(x * x + y * y);
        if (l > 0) x /= l, y /= l;
        return std::pair<float, float>{x, y};
      };
      n0 = avg(i0);
      n1 = i1 == 0 && !closed ? edgeNormal(e) : avg(i1);
      if (!closed && i1 == n - 1) n1 = edgeNormal(e);
      if (!closed && i0 == 0) n0 = edgeNormal(e);
    } else {
      n0 = n1 = edgeNormal(e);
    }
    const float u0 = uTotal > 0 ? uAt[e] / uTotal : 0, u1 = uTotal > 0 ? uAt[e + 1] / uTotal : 1;
    std::uint32_t prev0 = 0, prev1 = 0;
    for (std::size_t j = 0; j < frames.size(); ++j) {
      const Frame& f = frames[j];
      const float v = along[j] / vScale;
      const std::uint32_t a = mesh.add(place(f, profile[i0]), toWorld(f, n0), u0, v);
      const std::uint32_t b = mesh.add(place(f, profile[i1]), toWorld(f, n1), u1, v);
      if (j > 0) mesh.quad(prev0, prev1, b, a);
      prev0 = a;
      prev1 = b;
    }
  }
}

void addTunnel(Mesh& mesh, const std::vector<Frame>& frames, float radius, int sides, float floorY) {
  // Clockwise outline: the sweep's normals then point into the tube.
  std::vector<std::pair<float, float>> profile;
  for (int i = 0; i < sides; ++i) {
    const float a = -2 * kPi * static_cast<float>(i) / static_cast<float>(sides) - kPi * 0.5f;
    profile.emplace_back(std::cos(a) * radius, std::max(std::sin(a) * radius, floorY));
  }
  addSweep(mesh, frames, profile, true, true, 1.0f);
}

void addTrack(Mesh& mesh, const std::vector<Frame>& frames, float gauge, float spacing) {
  if (frames.size() < 2) return;
  const float railW = gauge * 0.05f, railH = gauge * 0.1f, sleeperH = gauge * 0.1f;
  for (int side = -1; side <= 1; side += 2) {
    const float x = static_cast<float>(side) * gauge * 0.5f;
    const std::vector<std::pair<float, float>> profile = {
        {x - railW, sleeperH}, {x + railW, sleeperH}, {x + railW * 0.5f, sleeperH + railH},
        {x - railW * 0.5f, sleeperH + railH}};
    addSweep(mesh, frames, profile, true, false, 1.0f);
  }
  // Sleepers at even distances along the path.
  float travelled = 0, next = spacing * 0.5f;
  for (std::size_t j = 1; j < frames.size(); ++j) {
    const float seg = length(frames[j].p - frames[j - 1].p);
    while (seg > 0 && travelled + seg >= next) {
      const float t = (next - travelled) / seg;
      const V3 p = lerp(frames[j - 1].p, frames[j].p, t);
      const V3 fwd = normalize(lerp(frames[j - 1].t, frames[j].t, t));
      const V3 right = normalize(cross(fwd, frames[j].up));
      const V3 up = cross(right, fwd);
      M4 m;
      m.m[0][0] = right.x, m.m[0][1] = right.y, m.m[0][2] = right.z;
      m.m[1][0] = up.x, m.m[1][1] = up.y, m.m[1][2] = up.z;
      m.m[2][0] = fwd.x, m.m[2][1] = fwd.y, m.m[2][2] = fwd.z;
      const V3 c = p + up * (sleeperH * 0.5f);
      m.m[3][0] = c.x, m.m[3][1] = c.y, m.m[3][2] = c.z;
      addBox(mesh, {gauge * 0.8f, sleeperH * 0.5f, gauge * 0.09f}, m);
      next += spacing;
    }
    travelled += seg;
  }
}

float textPixels(std::string_view text) { return static_cast<float>(textWidth(text)); }

void addTextQuads(Mesh& mesh, std::string_view text, V3 origin, float pixel, V3 down, float gap) {
  const V3 right{1, 0, 0};
  const V3 n{0, 0, 1};
  float pen = 0;
  for (char ch : text) {
    const Glyph& g = glyph(static_cast<unsigned char>(ch));
    for (int row = 0; row < 8; ++row) {
      int column = 0;
      while (column < 8) {
        if (!g.pixel(column, row)) {
          ++column;
          continue;
        }
        const int start = column;
        while (column < 8 && g.pixel(column, row)) ++column;
        const V3 a = origin + right * ((pen + static_cast<float>(start)) * pixel + gap) +
                     down * (static_cast<float>(row) * pixel + gap);
        const V3 b = origin + right * ((pen + static_cast<float>(column)) * pixel - gap) +
                     down * (static_cast<float>(row) * pixel + gap);
        const V3 c = b + down * (pixel - 2 * gap);
        const V3 d = a + down * (pixel - 2 * gap);
        const float u0 = static_cast<float>(start) / 8.0f, u1 = static_cast<float>(column) / 8.0f;
        const float v0 = static_cast<float>(row) / 8.0f, v1 = static_cast<float>(row + 1) / 8.0f;
        mesh.quad(mesh.add(a, n, u0, v0), mesh.add(b, n, u1, v0), mesh.add(c, n, u1, v1), mesh.add(d, n, u0, v1));
      }
    }
    pen += static_cast<float>(advance(static_cast<unsigned char>(ch)));
  }
}

void addTextPixels(Mesh& mesh, std::string_view text, V3 origin, float pixel, V3 down, float gap,
                   const std::function<float(int, int, int)>& shadeOf) {
  const V3 right{1, 0, 0};
  const V3 n{0, 0, 1};
  const float base = mesh.shade;
  float pen = 0;
  int index = 0;
  for (char ch : text) {
    const Glyph& g = glyph(static_cast<unsigned char>(ch));
    for (int row = 0; row < 8; ++row)
      for (int column = 0; column < 8; ++column) {
        if (!g.pixel(column, row)) continue;
        if (shadeOf) mesh.shade = base * shadeOf(static_cast<int>(pen) + column, row, index);
        const V3 a = origin + right * ((pen + static_cast<float>(column)) * pixel + gap) +
                     down * (static_cast<float>(row) * pixel + gap);
        const V3 b = a + right * (pixel - 2 * gap);
        const V3 c = b + down * (pixel - 2 * gap);
        const V3 d = a + down * (pixel - 2 * gap);
        mesh.quad(mesh.add(a, n, 0, 0), mesh.add(b, n, 1, 0), mesh.add(c, n, 1, 1), mesh.add(d, n, 0, 1));
        ++index;
      }
    pen += static_cast<float>(advance(static_cast<unsigned char>(ch)));
  }
  mesh.shade = base;
}

void addTextBoxes(Mesh& mesh, std::string_view text, V3 origin, float pixel, float depth, float gap) {
  float pen = 0;
  for (char ch : text) {
    const Glyph& g = glyph(static_cast<unsigned char>(ch));
    for (int row = 0; row < 8; ++row)
      for (int column = 0; column < 8; ++column) {
        if (!g.pixel(column, row)) continue;
        const V3 centre = origin + V3{(pen + static_cast<float>(column) + 0.5f) * pixel,
                                      -(static_cast<float>(row) + 0.5f) * pixel, 0};
        const float h = pixel * 0.5f - gap;
        addBox(mesh, {h, h, depth * 0.5f}, M4::translation(centre));
      }
    pen += static_cast<float>(advance(static_cast<unsigned char>(ch)));
  }
}

}  // namespace content
