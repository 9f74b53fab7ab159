#include "runtime/demo.h"

#include <cstdio>
#include <cstdlib>

#include "graphics/framework.h"
#include "graphics/graphics_device.h"
#include "graphics/transforms.h"
#include "platform/fmod/fmod.h"
#include "platform/win32/win32.h"
#include "runtime/demo_resources.h"
#include "runtime/fps_timer.h"
#include "scene/texture.h"
#include "ui2d/configuration_screen.h"

namespace {

constexpr int kKeyA = 0x41;
constexpr float kVirtualWidth = 640.0f;
constexpr float kVirtualHeight = 480.0f;

void drawFpsOverlay(const BitmapFont& font, std::int32_t musicTimeMs, FPS_Timer& timer) {
  // A near-black shadow first, then the text in opaque white over it.
  font.DrawText(13.0f, 13.0f, ColorRGBA{1, 1, 1, 155}, "Time %d At %.2f FPS", musicTimeMs,
                static_cast<double>(timer.framesPerSecond()));
  font.DrawText(10.0f, 10.0f, ColorRGBA{255, 255, 255, 255}, "Time %d At %.2f FPS", musicTimeMs,
                static_cast<double>(timer.framesPerSecond()));
}

}  // namespace

bool DemoSession::start(const DisplaySettings& settings) {
  g_framework = new Framework;
  g_framework->start(settings.fullscreen, settings.width, settings.height, settings.multisample);
  g_framework->window->setTitle("Vorn");

  GraphicsDevice* graphics = g_graphicsDevice;
  graphics->setTextureFilterDefaults(D3DTEXF_LINEAR);
  graphics->clearColor = ColorF{0.0f / 255.0f, 0.0f / 255.0f, 0.0f / 255.0f, 1.0f};

  resources = new DemoResources{};
  resources->aspectRatio = settings.aspectRatio;
  resources->framework = g_framework;
  loadDemoResources(resources);

  blocks.create(timeline, resources);

  // Pixel-exact from here on: the overlay font is point-filtered.
  graphics->setTextureFilterDefaults(D3DTEXF_POINT);
  overlayTexture = new Texture("fnt_04b08.png");
  overlayFont.spaceAdvance = 8.0f;
  overlayFont.lineHeight = 8.0f;
  overlayFont.glyphSize = 32.0f;
  overlayFont.advanceDivisor = 1.5f;
  overlayFont.flags = TEXT_OFFSET_X | TEXT_OFFSET_Y;
  overlayFont.texture = overlayTexture;

  timeline.musicTimeMs = 0;

  // No result of the sound library is examined: without music the show
  // runs on whatever position the channel reports.
  FMOD_System_Create(&soundSystem);
  FMOD_System_GetVersion(soundSystem, &soundVersion);
  FMOD_System_Init(soundSystem, 1, FMOD_INIT_NORMAL, nullptr);
  FMOD_System_CreateStream(soundSystem, "milk.ogg", FMOD_LOOP_OFF | FMOD_2D | FMOD_SOFTWARE, nullptr, &music);
  FMOD_System_PlaySound(soundSystem, FMOD_CHANNEL_FREE, music, false, &channel);
  FMOD_Channel_SetPosition(channel, static_cast<unsigned int>(timeline.musicTimeMs), FMOD_TIMEUNIT_MS);
  return true;
}

bool DemoSession::runFrame() {
  Framework* framework = g_framework;
  GraphicsDevice* graphics = g_graphicsDevice;
  AppWindow* window = framework->window;

  framework->timer->update();
  currentWindow = window;

  // At most one message per frame.
  if (PeekMessageA(&window->message, nullptr, 0, 0, PM_REMOVE)) {
    if (window->message.message == WM_QUIT) {
      exitCode = static_cast<int>(window->message.wParam);
      return false;
    }
    TranslateMessage(&window->message);
    DispatchMessageA(&window->message);
  }

  ShowCursor(FALSE);
  graphics->clear();
  timeline.dispatch();

  // The 640 x 480 overlay state, set every frame.
  graphics->currentTransform = D3DTS_PROJECTION;
  loadIdentity();
  beginOrtho2D(kVirtualWidth, kVirtualHeight);
  graphics->currentTransform = D3DTS_VIEW;
  loadIdentity();
  graphics->device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);

  if (window->keyStates[kKeyA] != KEY_UP) drawFpsOverlay(overlayFont, timeline.musicTimeMs, *framework->timer);

  graphics->setViewportPercent(0.0f, 0.0f, 100.0f, 100.0f);
  if (graphics->inScene) {
    graphics->device->EndScene();
    graphics->inScene = 0;
  }
  if (beforePresent) beforePresent();
  graphics->device->Present(nullptr, nullptr, nullptr, nullptr);

  // An inactive window sleeps until the next message; the music plays on.
  if (window->stateFlags & WINDOW_INACTIVE) WaitMessage();
  if (window->keyStates[VK_ESCAPE] != KEY_UP) return false;

  unsigned int position = 0;
  FMOD_Channel_GetPosition(channel, &position, FMOD_TIMEUNIT_MS);
  timeline.musicTimeMs = static_cast<std::int32_t>(position);
  return timeline.musicTimeMs <= kShowEndMs;
}

void DemoSession::shutdown() {
  FMOD_Sound_Release(music);
  FMOD_System_Close(soundSystem);
  FMOD_System_Release(soundSystem);
  music = nullptr;
  channel = nullptr;
  soundSystem = nullptr;

  if (resources) {
    releaseDemoResources(resources);
    delete resources;
    resources = nullptr;
  }
  delete overlayTexture;
  overlayTexture = nullptr;
  overlayFont.texture = nullptr;
  timeline.blocks.clear();
  blocks.destroy();
}

void destroyGlobalFramework() {
  if (!g_framework) return;
  g_framework->teardown();
  delete g_framework;
  g_framework = nullptr;
}

int runDemo(const std::optional<DisplaySettings>& chosen) {
  DisplaySettings settings;
  if (chosen) {
    settings = *chosen;
  } else {
    const ConfigurationOutcome outcome = runConfigurationScreen();
    if (outcome.quit) return outcome.exitCode;
    settings = outcome.settings;
  }
  if (std::getenv("VORN_DEBUG_SETTINGS")) {
    char line[128];
    formatSettingsLine(settings, line, sizeof line);
    std::fprintf(stderr, "%s\n", line);
  }
  DemoSession session;
  session.start(settings);
  while (session.runFrame()) {
  }
  session.shutdown();
  return session.exitCode;
}
