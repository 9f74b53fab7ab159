// Triangle meshes for the scene builders: one vertex type carrying every
// attribute, grouped into material subsets, and the procedural shapes the
// scenes are made of. A mesh is written in one of two vertex layouts (see
// scene_builder.h): the shaded layout of the shader programs, or the
// coloured layout of fixed-function drawing.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "common/vmath.h"

namespace content {

struct Rgba {
  float r = 1, g = 1, b = 1, a = 1;
};

struct Vertex {
  V3 p;
  V3 n{0, 0, 1};
  float u = 0, v = 0;  // texture coordinate set 0: per-face coordinates 0..1
  // Texture coordinate set 1: x = build order (0 first .. 1 last) read by the
  // reveal shaders, y = brightness the shading multiplies with.
  float build = 0, shade = 1;
  Rgba color;  // vertex colour of the fixed-function layout
};

struct Mesh {
  std::vector<Vertex> vertices;
  std::vector<std::vector<std::uint32_t>> groups;  // indices per material slot

  // Attributes that new vertices take.
  int group = 0;
  float build = 0, shade = 1;
  Rgba color;

  std::uint32_t add(V3 p, V3 n, float u, float v);
  void triangle(std::uint32_t a, std::uint32_t b, std::uint32_t c);
  // a b c d counter-clockwise when seen from the side the normal points to.
  void quad(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d);
  // A flat quad from four corners (counter-clockwise seen from the front), with
  // its own normal and the face coordinates (0,0) (1,0) (1,1) (0,1).
  void face(V3 a, V3 b, V3 c, V3 d);
  void triangleFace(V3 a, V3 b, V3 c);
  // The same quad with its normal turned away from `inside`.
  void faceOutward(V3 inside, V3 a, V3 b, V3 c, V3 d);
  std::size_t triangleCount() const;

  // Appends another mesh moved by m; its groups keep their numbers.
  void append(const Mesh& other, const M4& m);
  // Moves every vertex (normals by the inverse transpose).
  void transform(const M4& m);
  // Sets the build value of every vertex from its position.
  void setBuild(const std::function<float(V3)>& f);
  void bounds(V3* lo, V3* hi) const;
};

// Shapes. Each adds to the mesh with the current attributes; `m` places it.
void addBox(Mesh& mesh, V3 halfSize, const M4& m = M4{});
void addBoxBetween(Mesh& mesh, V3 lo, V3 hi);
// Box with its twelve edges chamfered by `bevel`.
void addBevelBox(Mesh& mesh, V3 halfSize, float bevel, const M4& m = M4{});
// A beam of square section `thickness` from a to b (struts, rails, girders),
// open at its ends.
void addBeam(Mesh& mesh, V3 a, V3 b, float thickness, V3 up = {0, 1, 0});
// Cylinder along +y from y = 0 to `height`.
void addCylinder(Mesh& mesh, float radius, float height, int segments, bool caps, const M4& m = M4{});
// Flat plane in x/z (normal +y), centred, w by d, split into nx by nz cells;
// height(x, z) lifts each vertex when given.
void addGrid(Mesh& mesh, float w, float d, int nx, int nz, const M4& m = M4{},
             const std::function<float(float, float)>& height = {});
// Flat rectangle in the x/y plane (normal +z) from (x0, y0) to (x1, y1) at z.
void addRect(Mesh& mesh, float x0, float y0, float x1, float y1, float z = 0);
// Flat ring in the x/y plane, from radius r0 to r1, between angles a0 and a1.
void addRingXY(Mesh& mesh, float r0, float r1, int segments, float a0 = 0, float a1 = 2 * kPi, float z = 0);
// Extruded gear in the x/y plane, centred, `thickness` deep in z: `teeth`
// trapezoid teeth between rootRadius and tipRadius around a hole of
// holeRadius, the first tooth centred on angle `phase`.
void addGear(Mesh& mesh, int teeth, float rootRadius, float tipRadius, float holeRadius, float thickness,
             float phase, const M4& m = M4{});
// The outline of a gear (tooth profile) as a closed polygon in the x/y plane.
std::vector<std::pair<float, float>> gearOutline(int teeth, float rootRadius, float tipRadius, float phase);
// A band of `width` along the inside of a closed counter-clockwise polygon in
// the x/y plane (mitred corners, the mitre limited to twice the width).
void addPolygonBand(Mesh& mesh, const std::vector<std::pair<float, float>>& polygon, float width, float z = 0);
// Extruded ring (annulus) in the x/y plane.
void addRing(Mesh& mesh, float r0, float r1, float thickness, int segments, const M4& m = M4{});

// A path for swept shapes: points with frames.
struct Frame {
  V3 p;      // centre
  V3 t;      // tangent (forward)
  V3 right;  // side
  V3 up;     // up
};
// Frames at `count` + 1 evenly spaced parameters of a curve.
std::vector<Frame> framesAlong(const std::function<V3(float)>& curve, int count, V3 up = {0, 1, 0});
// Sweeps a closed (or open) 2D profile in the (right, up) plane along frames;
// the profile runs counter-clockwise for outward normals of a closed tube.
// u runs along the profile (0..1), v along the path in units of vScale.
void addSweep(Mesh& mesh, const std::vector<Frame>& frames, const std::vector<std::pair<float, float>>& profile,
              bool closed, bool smooth, float vScale = 1.0f);
// Tube of radius r around the frames, seen from inside (normals inward).
void addTunnel(Mesh& mesh, const std::vector<Frame>& frames, float radius, int sides, float floorY);
// Track along frames: two rails (gauge apart) on sleepers every `spacing`.
void addTrack(Mesh& mesh, const std::vector<Frame>& frames, float gauge, float spacing);

// Text from the pixel font. `pixel` is the size of one font pixel; the text's
// top-left corner is at `origin`; `down` is the direction of font rows
// (0, -1, 0) for y-up layers, (0, 1, 0) for y-down ones. Each run of lit
// pixels in a row becomes one quad, shrunk by `gap` on every side.
void addTextQuads(Mesh& mesh, std::string_view text, V3 origin, float pixel, V3 down = {0, -1, 0},
                  float gap = 0.0f);
// One separate square per lit pixel (a blocky look); `shadeOf(column, row,
// index)` may vary each square's brightness.
void addTextPixels(Mesh& mesh, std::string_view text, V3 origin, float pixel, V3 down, float gap,
                   const std::function<float(int, int, int)>& shadeOf = {});
// The same with one box per lit pixel, `depth` thick, facing +z.
void addTextBoxes(Mesh& mesh, std::string_view text, V3 origin, float pixel, float depth, float gap = 0.0f);
// Width of a text in font pixels (for centring).
float textPixels(std::string_view text);

}  // namespace content
