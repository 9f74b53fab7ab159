#include "ui2d/configuration_screen.h"

#include <cmath>
#include <cstdio>

#include "graphics/framework.h"
#include "graphics/graphics_device.h"
#include "graphics/transforms.h"
#include "runtime/fps_timer.h"
#include "scene/scene.h"
#include "scene/texture.h"
#include "scene/transform_stack.h"

const char* const RESOLUTION_LIST =
    "|Resolution: 320x240|Resolution: 640x480|Resolution: 800x600|Resolution: 1024x768|Resolution: 1280x720"
    "|Resolution: 1280x800|Resolution: 1280x1024|Resolution: 1368x768|Resolution: 1440x900"
    "|Resolution: 1600x1200|Resolution: 1680x1050|Resolution: 1920x1080|Resolution: 1920x1200|";
const char* const ASPECT_RATIO_LIST =
    "|Aspect Ratio : 16/9|Aspect Ratio : 16/10|Aspect Ratio : 4/3|Aspect Ratio : 5/4|";
const char* const ANTI_ALIAS_LIST = "|AntiAliasing : None|AntiAliasing  : 2x|AntiAliasing  : 4x|";

namespace {

constexpr int SCREEN_WIDTH = 350;
constexpr int SCREEN_HEIGHT = 290;
constexpr int SCENE_AREA_HEIGHT = 200;

struct Resolution {
  std::int32_t width, height;
};
constexpr Resolution RESOLUTIONS[] = {{320, 240},   {640, 480},   {800, 600},   {1024, 768},  {1280, 720},
                                      {1280, 800},  {1280, 1024}, {1368, 768},  {1440, 900},  {1600, 1200},
                                      {1680, 1050}, {1920, 1080}, {1920, 1200}};
constexpr float ASPECT_RATIOS[] = {1.7777778f, 1.6f, 1.3333334f, 1.25f};
constexpr std::int32_t MULTISAMPLE_COUNTS[] = {0, 2, 4};

template <typename T, std::size_t N>
bool inTable(const T (&)[N], std::int32_t index) {
  return index >= 0 && static_cast<std::size_t>(index) < N;
}

// The rotation about z by a radians as a quaternion.
Quat turnAboutZ(float a) { return Quat{0.0f, 0.0f, std::sin(a / 2.0f), std::cos(a / 2.0f)}; }

}  // namespace

DisplaySettings settingsForSelections(std::int32_t resolutionIndex, std::int32_t fullscreen,
                                      std::int32_t aspectIndex, std::int32_t antiAliasIndex) {
  DisplaySettings s;
  s.width = inTable(RESOLUTIONS, resolutionIndex) ? RESOLUTIONS[resolutionIndex].width : 0;
  s.height = inTable(RESOLUTIONS, resolutionIndex) ? RESOLUTIONS[resolutionIndex].height : 0;
  s.aspectRatio = inTable(ASPECT_RATIOS, aspectIndex) ? ASPECT_RATIOS[aspectIndex] : 0.0f;
  s.fullscreen = fullscreen != 0;
  s.multisample = inTable(MULTISAMPLE_COUNTS, antiAliasIndex) ? MULTISAMPLE_COUNTS[antiAliasIndex] : 0;
  return s;
}

void formatSettingsLine(const DisplaySettings& s, char* out, int size) {
  std::snprintf(out, static_cast<std::size_t>(size), "settings: %dx%d aspect %.8g fullscreen %d multisample %d",
                s.width, s.height, static_cast<double>(s.aspectRatio), s.fullscreen ? 1 : 0, s.multisample);
}

ConfigurationScreen* ConfigurationScreen::create() {
  ConfigurationScreen* screen = new ConfigurationScreen;

  Framework* framework = new Framework;
  screen->framework = framework;
  framework->window->create("project", SCREEN_WIDTH, SCREEN_HEIGHT, false);
  GraphicsDevice* device = GraphicsDevice::create(framework->window->handle, SCREEN_WIDTH, SCREEN_HEIGHT, 0);
  framework->graphicsDevice = device;
  g_graphicsDevice = device;
  if (framework->timer) framework->timer->reset();
  ShowCursor(TRUE);
  framework->window->setTitle("Configuration");
  device->setTextureFilterDefaults(D3DTEXF_POINT);
  device->clearColor = ColorF{115.0f / 255.0f, 115.0f / 255.0f, 115.0f / 255.0f, 1.0f};

  screen->fontTexture = new Texture("fnt_04b08.png");
  screen->font = BitmapFont(screen->fontTexture);
  screen->font.glyphSize = 16.0f;
  screen->font.advanceDivisor = 2.0f;
  screen->widgets = WidgetContext(framework->window, &screen->font);

  screen->logo = new Texture("tex2d_logo.png");
  screen->scene = Scene::load("intro.nc");

  screen->resolutionIndex = 1;
  screen->fullscreen = 1;
  screen->aspectIndex = 2;
  screen->antiAliasIndex = 0;
  return screen;
}

ScreenAction ConfigurationScreen::drawFrame() {
  GraphicsDevice* graphics = framework ? framework->graphicsDevice : nullptr;
  if (!graphics || !graphics->device) return ScreenAction::Continue;
  IDirect3DDevice9* device = graphics->device;

  graphics->clear();
  graphics->setViewportPercent(0.0f, 0.0f, 100.0f, 100.0f);

  // The whole window in 2D: the black scene area, then the widgets.
  graphics->currentTransform = D3DTS_PROJECTION;
  loadIdentity();
  beginOrtho2D(static_cast<float>(SCREEN_WIDTH), static_cast<float>(SCREEN_HEIGHT));
  graphics->currentTransform = D3DTS_VIEW;
  loadIdentity();
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  DrawScreenRect(SCREEN_WIDTH, SCENE_AREA_HEIGHT, ColorRGBA{0, 0, 0, 255});

  ToggleButton(widgets, fullscreen);
  OptionCycler(widgets, resolutionIndex, RESOLUTION_LIST, 120, 208, 220);
  OptionCycler(widgets, aspectIndex, ASPECT_RATIO_LIST, 10, 228, 330);
  OptionCycler(widgets, antiAliasIndex, ANTI_ALIAS_LIST, 10, 248, 330);
  const int exitClicked = PushButton(widgets, "Exit", 10);
  const int runClicked = PushButton(widgets, "Run", 250);
  if (exitClicked) return ScreenAction::Exit;
  if (runClicked) return ScreenAction::Run;

  // The turning intro scene in the upper 350 x 200 area, added onto black.
  const D3DVIEWPORT9 sceneArea{0, 0, SCREEN_WIDTH, SCENE_AREA_HEIGHT, 0.0f, 1.0f};
  device->SetViewport(&sceneArea);
  graphics->currentTransform = D3DTS_PROJECTION;
  loadIdentity();
  beginPerspective(1.75f, 36.0f, 6.0f, 1000.0f);
  graphics->currentTransform = D3DTS_VIEW;
  loadIdentity();
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);

  // A scene without its camera has no meaningful view: only the black area
  // and the logo are drawn then. Missing gear nodes are simply not turned.
  Camera* camera = scene ? scene->findCamera("Camera") : nullptr;
  if (camera) camera->apply();
  if (scene) {
    const float t = time;
    const float angles[6] = {-2.0f * std::cos(t), 8.0f * t, -4.0f * t, 2.0f * std::sin(10.0f * t),
                             -2.0f * std::cos(10.0f * t), 12.0f * t};
    const char* const names[6] = {"P1", "P2", "P3", "P4", "P5", "P6"};
    for (int i = 0; i < 6; ++i) {
      if (SceneNode* node = scene->findNode(names[i])) node->rotation = turnAboutZ(angles[i]);
    }
  }
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  if (scene && camera) {
    pushTransform();
    D3DXMATRIX spin;
    D3DXMatrixRotationZ(&spin, time);
    multiplyTransform(spin);
    scene->draw();
    popTransform();
  }

  // The logo over the scene area; its lower part falls outside the viewport.
  graphics->currentTransform = D3DTS_PROJECTION;
  loadIdentity();
  beginOrtho2D(static_cast<float>(SCREEN_WIDTH), static_cast<float>(SCENE_AREA_HEIGHT));
  graphics->currentTransform = D3DTS_VIEW;
  loadIdentity();
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  EnableRenderPreset(PRESET_2D);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  BindTextureStage(logo, 0);
  DrawTexturedRect(90, 80, 256, 256, ColorRGBA{255, 255, 255, 255});
  device->SetTexture(0, nullptr);

  time += 0.001f;
  return ScreenAction::Continue;
}

DisplaySettings ConfigurationScreen::settings() const {
  return settingsForSelections(resolutionIndex, fullscreen, aspectIndex, antiAliasIndex);
}

void ConfigurationScreen::destroy() {
  widgets.window = nullptr;
  widgets.font = nullptr;
  font.texture = nullptr;
  if (scene) {
    scene->destroy();
    delete scene;
    scene = nullptr;
  }
  delete logo;
  logo = nullptr;
  delete fontTexture;
  fontTexture = nullptr;
  if (framework) {
    if (g_graphicsDevice == framework->graphicsDevice) g_graphicsDevice = nullptr;
    framework->teardown();
    delete framework;
    framework = nullptr;
  }
}

ConfigurationOutcome runConfigurationScreen() {
  ConfigurationScreen* screen = ConfigurationScreen::create();
  AppWindow* window = screen->framework->window;
  GraphicsDevice* graphics = screen->framework->graphicsDevice;
  ConfigurationOutcome outcome;

  for (;;) {
    if (screen->framework->timer) screen->framework->timer->update();
    currentWindow = window;
    MSG& message = window->message;
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        // Closing the window quits with code 0 and ends the screen like
        // "Run"; any other code asks the program to end.
        if (message.wParam != 0) {
          outcome.quit = true;
          outcome.exitCode = static_cast<int>(message.wParam);
        }
        break;
      }
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    const ScreenAction action = screen->drawFrame();
    // "Exit" leaves the way a request to quit does, through the teardown.
    if (action == ScreenAction::Exit) {
      outcome.quit = true;
      outcome.exitCode = 0;
      break;
    }
    if (action == ScreenAction::Run) break;
    graphics->endFrame();
    if (window->stateFlags & WINDOW_INACTIVE) WaitMessage();
    if (window->keyStates[VK_ESCAPE] != 0) break;
    EndWidgetFrame(screen->widgets);
  }
  clearTransformStack();

  outcome.settings = screen->settings();
  screen->destroy();
  delete screen;
  return outcome;
}
