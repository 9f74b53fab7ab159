// Steps the blocks share: 2D and 3D set-ups, render-target passes, texture
// binding, the blur passes and the glow colour. Every step tolerates a
// missing resource: it skips what it cannot do and draws the rest.
#pragma once

#include <cstdint>

#include "ui2d/primitives.h"

struct Scene;
struct ShaderProgram;
struct Texture;
struct TextureResource;

namespace blocksteps {

// Position of a time in a window, 0 at its start, approaching 1 at its end.
float progress(std::int32_t nowMs, std::int32_t startMs, std::int32_t endMs);

// Glow tint from a pulse value 0..1: red 155..255, green 100..200.
ColorRGBA glowColor(double pulse);

// x to the eighth power by repeated squaring.
double pow8(double x);

void setClearColor(float r, float g, float b, float a);
// Projection := orthographic w x h, view := identity, depth test off.
void setup2D(float width, float height);
// setupCamera, then the named camera of the scene when it has one (the
// identity view otherwise).
void setup3D(float aspect, float fovDegrees, float zNear, float zFar, const Scene* cameraScene,
             const char* cameraName);
void noTexture();
void setBlend(std::uint32_t source, std::uint32_t destination);
void blendNormal();
void blendAdditive();
void unshade();
// ShaderProgram::bind, or no shaders when the program is missing.
void bindProgramOrUnshade(ShaderProgram* program);
// beginRenderTarget followed by a clear when the target can be drawn into.
void beginTarget(TextureResource* target);
void endTarget(TextureResource* target);
void drawScene(Scene* scene);
// The scene scaled by 1000 about the centre of the 640 x 480 screen; flipY
// makes the scene's +y point up the screen.
void drawFlatLayer(Scene* scene, bool flipY);
void animate(Scene* scene, float time);
// One separable blur pass: source drawn through the bloom program into the
// target along the direction (x, y).
void blurPass(ShaderProgram* bloom, TextureResource* source, TextureResource* target, float dx, float dy);
// The full-screen rect of a texture resource (the blurred glow, the tree).
void drawFullScreen(TextureResource* source, ColorRGBA color);
// Noise veil and picture frame over the finished picture.
void drawGrainAndFrame(const Texture* noise, const Texture* frame, std::uint8_t alpha);

}  // namespace blocksteps
