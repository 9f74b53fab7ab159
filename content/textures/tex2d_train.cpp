// The train picture: our locomotive and its first coach, rendered in software
// from the same models the tunnel uses, in a three-quarter front view at
// night: warm yard light from the right, a cold fill from the left, an orange
// rim, glowing headlights, and a stretch of track under it fading out. The
// background is transparent. The picture is drawn at (258, 37) with a size of
// 450 x 450 on the 640 x 480 screen, so only its left 85 % and top 98 % show:
// the train sits in that part.
#include <cmath>

#include "common/raster.h"
#include "common/structures.h"
#include "texture_main.h"

using namespace content;

namespace {

constexpr int kSize = 512;
constexpr int kSuper = 2;  // rendered at twice the size, then averaged

struct Light {
  V3 direction;  // towards the light
  Rgba colour;
};

std::vector<RasterVertex> shade(const Mesh& mesh, const M4& place, const Rgba groupColour[4], const Rgba emissive[4],
                                V3 eye) {
  const Light lights[] = {{normalize(V3{0.7f, 0.55f, -0.45f}), {1.0f, 0.68f, 0.38f, 1}},
                          {normalize(V3{-0.8f, 0.3f, -0.2f}), {0.18f, 0.22f, 0.34f, 1}}};
  std::vector<RasterVertex> out;
  for (std::size_t g = 0; g < mesh.groups.size(); ++g) {
    for (std::uint32_t index : mesh.groups[g]) {
      const Vertex& v = mesh.vertices[index];
      const V3 p = place.point(v.p), n = place.normal(v.n);
      const V3 toEye = normalize(eye - p);
      Rgba c{0.04f, 0.04f, 0.05f, 1};
      for (const Light& l : lights) {
        const float d = std::max(0.0f, dot(n, l.direction));
        const V3 h = normalize(l.direction + toEye);
        const float specular = std::pow(std::max(0.0f, dot(n, h)), 24.0f) * 0.5f;
        c.r += (groupColour[g].r * d + specular) * l.colour.r;
        c.g += (groupColour[g].g * d + specular) * l.colour.g;
        c.b += (groupColour[g].b * d + specular) * l.colour.b;
      }
      // Rim: surfaces seen edge-on catch orange light from behind.
      const float rim = std::pow(1.0f - std::max(0.0f, dot(n, toEye)), 3.0f);
      c.r += rim * 0.55f;
      c.g += rim * 0.22f;
      c.b += rim * 0.05f;
      c.r += emissive[g].r;
      c.g += emissive[g].g;
      c.b += emissive[g].b;
      out.push_back({p, c});
    }
  }
  return out;
}

}  // namespace

Image buildTexture() {
  const int big = kSize * kSuper;
  Image image(big, big);
  Image lampsOnly(big, big);
  Rasterizer raster(image);
  Rasterizer lampRaster(lampsOnly);

  const V3 eye{-7.5f, 2.6f, -25.0f};
  const M4 view = cameraView(eye, lookRotation(V3{0.6f, 2.2f, -4.0f} - eye));
  // Slightly off-centre to the left and up, inside the part of the picture
  // that shows.
  M4x shift;
  shift.m[3][0] = -0.22f;
  shift.m[3][1] = 0.1f;
  const M4x toClip = M4x::from(view) * M4x::perspectiveFovRH(34.0f * kPi / 180.0f, 1.0f, 0.5f, 200.0f) * shift;

  const Rgba bodyColours[4] = {{0.32f, 0.34f, 0.38f, 1}, {0.06f, 0.07f, 0.09f, 1}, {1, 1, 1, 1}, {0.1f, 0.1f, 0.1f, 1}};
  const Rgba locoGlow[4] = {{0, 0, 0, 0}, {0.02f, 0.03f, 0.05f, 0}, {1.0f, 0.92f, 0.75f, 0}, {0, 0, 0, 0}};
  const Rgba coachGlow[4] = {{0, 0, 0, 0}, {0, 0, 0, 0}, {0.85f, 0.6f, 0.3f, 0}, {0, 0, 0, 0}};

  // Track under the train, fading into the dark behind it.
  Mesh track;
  const std::vector<Frame> frames = {{{0, 0, -16}, {0, 0, 1}, {-1, 0, 0}, {0, 1, 0}}, {{0, 0, 60}, {0, 0, 1}, {-1, 0, 0}, {0, 1, 0}}};
  addTrack(track, frames, 1.435f, 0.9f);
  std::vector<RasterVertex> trackTris;
  for (std::uint32_t index : track.groups[0]) {
    const Vertex& v = track.vertices[index];
    const float fade = std::min(std::max(0.0f, (v.p.z + 16.0f) / 9.0f), std::max(0.0f, 1.0f - (v.p.z + 16.0f) / 60.0f));
    const float lit = 0.15f + 0.35f * std::max(0.0f, v.n.y);
    trackTris.push_back({v.p, {lit * 0.9f, lit * 0.75f, lit * 0.6f, fade}});
  }
  raster.draw(trackTris, toClip, BlendMode::Alpha, true, true);

  const Mesh loco = locomotive();
  const Mesh car = coach(20.0f);
  const M4 carPlace = M4::translation({0, 0, 20.6f});
  raster.draw(shade(loco, M4{}, bodyColours, locoGlow, eye), toClip, BlendMode::Opaque);
  raster.draw(shade(car, carPlace, bodyColours, coachGlow, eye), toClip, BlendMode::Opaque);

  // The lamps alone, for their glow.
  std::vector<RasterVertex> lamps;
  for (std::uint32_t index : loco.groups[2]) lamps.push_back({loco.vertices[index].p, {1.0f, 0.85f, 0.6f, 1}});
  lampRaster.draw(lamps, toClip, BlendMode::Opaque, true, true);

  // Average down to the final size.
  Image out(kSize, kSize);
  Image glow(kSize, kSize);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      Rgba sum{0, 0, 0, 0}, lampSum{0, 0, 0, 0};
      for (int dy = 0; dy < kSuper; ++dy)
        for (int dx = 0; dx < kSuper; ++dx) {
          const Rgba& p = image.at(x * kSuper + dx, y * kSuper + dy);
          sum = {sum.r + p.r * p.a, sum.g + p.g * p.a, sum.b + p.b * p.a, sum.a + p.a};
          const Rgba& l = lampsOnly.at(x * kSuper + dx, y * kSuper + dy);
          lampSum = {lampSum.r + l.r * l.a, lampSum.g + l.g * l.a, lampSum.b + l.b * l.a, lampSum.a + l.a};
        }
      const float n = static_cast<float>(kSuper * kSuper);
      out.at(x, y) = {sum.r / n, sum.g / n, sum.b / n, sum.a / n};  // premultiplied for now
      glow.at(x, y) = {lampSum.r / n, lampSum.g / n, lampSum.b / n, lampSum.a / n};
    }
  glow.blur(7.0f);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      Rgba& p = out.at(x, y);
      const Rgba& g = glow.at(x, y);
      const float k = 2.2f;
      p = {p.r + g.r * k, p.g + g.g * k * 0.8f, p.b + g.b * k * 0.55f, std::min(1.0f, p.a + g.a * k * 0.9f)};
      // Back to straight alpha.
      if (p.a > 1e-4f) p = {std::min(1.0f, p.r / p.a), std::min(1.0f, p.g / p.a), std::min(1.0f, p.b / p.a), p.a};
      else p = {0, 0, 0, 0};
    }
  return out;
}
