// The configuration screen: a 350 x 290 window with the live intro scene,
// the logo and the widgets that choose the demo's display mode.
#pragma once

#include <cstdint>

#include "ui2d/bitmap_font.h"
#include "ui2d/display_settings.h"
#include "ui2d/widgets.h"

struct Framework;
struct Scene;
struct Texture;

// The option lists shown by the three cyclers.
extern const char* const RESOLUTION_LIST;
extern const char* const ASPECT_RATIO_LIST;
extern const char* const ANTI_ALIAS_LIST;

// The numbers behind the selections (any index outside a table gives zeros).
DisplaySettings settingsForSelections(std::int32_t resolutionIndex, std::int32_t fullscreen,
                                      std::int32_t aspectIndex, std::int32_t antiAliasIndex);

// One line describing the settings, e.g.
// "settings: 800x600 aspect 1.7777778 fullscreen 0 multisample 2".
void formatSettingsLine(const DisplaySettings& settings, char* out, int size);

enum class ScreenAction {
  Continue,  // keep running
  Run,       // "Run" was clicked
  Exit,      // "Exit" was clicked
};

struct ConfigurationScreen {
  std::int32_t resolutionIndex = 1;  // 640x480
  std::int32_t fullscreen = 1;       // on while bit 0 is set
  std::int32_t aspectIndex = 2;      // 4/3
  std::int32_t antiAliasIndex = 0;   // none
  Scene* scene = nullptr;
  Texture* logo = nullptr;
  WidgetContext widgets;
  BitmapFont font;
  Texture* fontTexture = nullptr;
  Framework* framework = nullptr;
  float time = 0.0f;  // the scene's motion, advanced by a fixed step per frame

  // Builds the framework, window and device, loads the font, logo and
  // "intro.nc" from the working directory and sets the initial selections.
  static ConfigurationScreen* create();

  // Clears, draws and polls the widgets; when "Exit" or "Run" reports a click
  // the pass ends there. Otherwise draws the turning scene and the logo and
  // advances the motion. The device scene stays open (for endFrame).
  ScreenAction drawFrame();

  DisplaySettings settings() const;

  // Releases everything the screen owns; a second call does nothing.
  void destroy();
};
