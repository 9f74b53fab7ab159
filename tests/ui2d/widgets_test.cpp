// Widget interaction: when clicks complete, locked presses, the toggle's
// values, the cycler's wrap, and the list entries.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "graphics/framework.h"
#include "ui2d/bitmap_font.h"
#include "ui2d/configuration_screen.h"
#include "ui2d/widgets.h"

namespace {

// A scripted pointer: the widgets read it through the context's source.
struct Pointer {
  WidgetPointer state;
  static WidgetPointer read(const WidgetContext&, void* user) { return static_cast<Pointer*>(user)->state; }
};

class Widgets : public ::testing::Test {
 protected:
  void SetUp() override {
    context = WidgetContext(&window, &font);
    context.pointerSource = &Pointer::read;
    context.pointerUser = &pointer;
  }
  void move(int x, int y) {
    pointer.state.x = x;
    pointer.state.y = y;
  }
  void button(bool down) { pointer.state.leftButton = down ? 1 : 0; }

  // Clicks the resolution cycler's box once (press frame, release frame)
  // with the pointer where the test put it.
  int clickCycler(std::int32_t& index, const char* list) {
    // A completed click locks presses until a frame sees the button up over
    // a widget, so every click starts with such a frame.
    button(false);
    OptionCycler(context, index, list, 120, 208, 220);
    EndWidgetFrame(context);
    button(true);
    OptionCycler(context, index, list, 120, 208, 220);
    EndWidgetFrame(context);
    button(false);
    const int result = OptionCycler(context, index, list, 120, 208, 220);
    EndWidgetFrame(context);
    return result;
  }

  // One frame of a screen with the Exit and Run buttons only.
  struct Buttons {
    int exit = 0, run = 0;
  };
  Buttons buttonFrame() {
    Buttons b;
    b.exit = PushButton(context, "Exit", 10);
    b.run = PushButton(context, "Run", 250);
    EndWidgetFrame(context);
    return b;
  }

  AppWindow window;
  BitmapFont font;
  Pointer pointer;
  WidgetContext context;
};

TEST_F(Widgets, InitialContext) {
  const WidgetContext fresh(&window, &font);
  EXPECT_EQ(fresh.hovered, 0);
  EXPECT_EQ(fresh.armed, 0);
  EXPECT_EQ(fresh.locked, 0);
  EXPECT_EQ(fresh.enabled, 1);
  EXPECT_EQ(fresh.baseColor, (ColorRGBA{130, 130, 130, 255}));
  EXPECT_EQ(fresh.highlightColor, (ColorRGBA{150, 150, 150, 255}));
}

TEST_F(Widgets, BoxEdgesCountAsInside) {
  WidgetPointer p;
  const int corners[4][2] = {{10, 268}, {100, 268}, {10, 283}, {100, 283}};
  for (const auto& c : corners) {
    p.x = c[0];
    p.y = c[1];
    EXPECT_TRUE(PointerInside(p, 10, 268, 90)) << c[0] << "," << c[1];
  }
  p.x = 101;
  p.y = 270;
  EXPECT_FALSE(PointerInside(p, 10, 268, 90));
  p.x = 50;
  p.y = 284;
  EXPECT_FALSE(PointerInside(p, 10, 268, 90));
  p.y = 267;
  EXPECT_FALSE(PointerInside(p, 10, 268, 90));
}

TEST_F(Widgets, ReadsTheLeftButtonFromTheWindowKeyState) {
  context.pointerSource = nullptr;
  window.keyStates[VK_LBUTTON] = KEY_HELD;
  EXPECT_EQ(ReadWidgetPointer(context).leftButton, 1);
  window.keyStates[VK_LBUTTON] = KEY_UP;
  EXPECT_EQ(ReadWidgetPointer(context).leftButton, 0);
}

TEST_F(Widgets, AClickCompletesWhenPressedAndReleasedInside) {
  move(300, 275);  // over Run
  EXPECT_EQ(buttonFrame().run, 0);
  button(true);
  EXPECT_EQ(buttonFrame().run, 0);
  EXPECT_EQ(context.armed, 1);
  EXPECT_EQ(buttonFrame().run, 0);  // held: still no click
  button(false);
  const Buttons b = buttonFrame();
  EXPECT_EQ(b.run, 1);
  EXPECT_EQ(b.exit, 0);
  EXPECT_EQ(context.armed, 0);
  EXPECT_EQ(buttonFrame().run, 0);  // reported once
}

TEST_F(Widgets, LeavingEveryWidgetWhileHeldCancelsThePress) {
  move(300, 275);
  button(true);
  buttonFrame();
  move(200, 100);  // over nothing
  buttonFrame();
  EXPECT_EQ(context.armed, 0);
  move(300, 275);
  buttonFrame();  // still held, but locked now
  EXPECT_EQ(context.armed, 0);
  button(false);
  EXPECT_EQ(buttonFrame().run, 0);
}

TEST_F(Widgets, APressStartedOutsideDoesNothingUntilReleased) {
  move(200, 100);
  button(true);
  buttonFrame();
  EXPECT_EQ(context.locked, 1);
  move(300, 275);  // dragged onto Run
  buttonFrame();
  EXPECT_EQ(context.armed, 0);
  button(false);
  EXPECT_EQ(buttonFrame().run, 0);
  EXPECT_EQ(context.locked, 0);  // unlocked by a widget that saw the button up
  button(true);
  buttonFrame();
  button(false);
  EXPECT_EQ(buttonFrame().run, 1);  // a fresh press works
}

TEST_F(Widgets, APressCompletedOverAnotherWidgetActsOnThatOne) {
  move(50, 275);  // Exit
  button(true);
  buttonFrame();
  move(300, 275);  // Run, still held
  buttonFrame();
  button(false);
  const Buttons b = buttonFrame();
  EXPECT_EQ(b.exit, 0);
  EXPECT_EQ(b.run, 1);
}

TEST_F(Widgets, DisabledWidgetsIgnoreTheMouse) {
  context.enabled = 0;
  move(300, 275);
  button(true);
  buttonFrame();
  button(false);
  EXPECT_EQ(buttonFrame().run, 0);
}

TEST_F(Widgets, ToggleFlipsAndReportsPressAndRelease) {
  std::int32_t value = 1;
  move(50, 215);
  EXPECT_EQ(ToggleButton(context, value), 0);
  EndWidgetFrame(context);
  button(true);
  EXPECT_EQ(ToggleButton(context, value), 1);
  EndWidgetFrame(context);
  EXPECT_EQ(ToggleButton(context, value), 1);  // every frame it is held
  EndWidgetFrame(context);
  EXPECT_EQ(value, 1);
  button(false);
  EXPECT_EQ(ToggleButton(context, value), 2);
  EndWidgetFrame(context);
  EXPECT_EQ(value, 0);
  button(true);  // the frame right after a click is locked
  EXPECT_EQ(ToggleButton(context, value), 0);
  EndWidgetFrame(context);
  button(false);
  ToggleButton(context, value);
  EndWidgetFrame(context);
  button(true);
  ToggleButton(context, value);
  EndWidgetFrame(context);
  button(false);
  EXPECT_EQ(ToggleButton(context, value), 2);
  EXPECT_EQ(value, 1);
}

TEST_F(Widgets, ToggleKeepsTheOtherBits) {
  std::int32_t value = 6;  // even: off
  move(10, 208);
  button(true);
  ToggleButton(context, value);
  EndWidgetFrame(context);
  button(false);
  ToggleButton(context, value);
  EXPECT_EQ(value, 7);
}

TEST_F(Widgets, CyclerStepsAndWrapsToTheFirstEntry) {
  std::int32_t index = 1;
  move(130, 215);  // on the left arrow: the whole box steps forward
  EXPECT_EQ(clickCycler(index, RESOLUTION_LIST), 1);
  EXPECT_EQ(index, 2);
  index = 12;  // 1920x1200, the last entry
  EXPECT_EQ(clickCycler(index, RESOLUTION_LIST), 1);
  EXPECT_EQ(index, 0);
  index = 1;
  for (int i = 0; i < 13; ++i) clickCycler(index, RESOLUTION_LIST);
  EXPECT_EQ(index, 1);  // thirteen clicks come back to 640x480
  index = 99;           // no such entry: the next click goes to the first
  clickCycler(index, ANTI_ALIAS_LIST);
  EXPECT_EQ(index, 0);
}

TEST(ListItemTest, EntriesBetweenBars) {
  char out[LIST_ENTRY_SIZE];
  ASSERT_TRUE(ListItem("|A|B|", 0, out));
  EXPECT_STREQ(out, "A");
  ASSERT_TRUE(ListItem("|A|B|", 1, out));
  EXPECT_STREQ(out, "B");
  std::strcpy(out, "untouched");
  EXPECT_FALSE(ListItem("|A|B|", 2, out));
  EXPECT_STREQ(out, "untouched");
  EXPECT_FALSE(ListItem("|A|B|", -1, out));
  EXPECT_FALSE(ListItem("", 0, out));
  EXPECT_FALSE(ListItem(nullptr, 0, out));
}

TEST(ListItemTest, TheLastEntryNeedsItsClosingBarAndTheFirstCharacterIsNeverPartOfAnEntry) {
  char out[LIST_ENTRY_SIZE];
  EXPECT_FALSE(ListItem("|A|B", 1, out));
  ASSERT_TRUE(ListItem("XA|B|", 0, out));
  EXPECT_STREQ(out, "A");
  ASSERT_TRUE(ListItem("|||", 1, out));
  EXPECT_STREQ(out, "");
}

TEST(ListItemTest, LongEntriesAreCutToTheBuffer) {
  const std::string list = "|" + std::string(300, 'q') + "|";
  char out[LIST_ENTRY_SIZE + 8];
  std::memset(out, '#', sizeof out);
  ASSERT_TRUE(ListItem(list.c_str(), 0, out));
  EXPECT_EQ(std::strlen(out), static_cast<std::size_t>(LIST_ENTRY_SIZE - 1));
  EXPECT_EQ(out[LIST_ENTRY_SIZE], '#');  // nothing written past the 128 bytes
}

TEST(ListItemTest, TheScreensListsHoldTheirEntries) {
  char out[LIST_ENTRY_SIZE];
  ASSERT_TRUE(ListItem(RESOLUTION_LIST, 12, out));
  EXPECT_STREQ(out, "Resolution: 1920x1200");
  EXPECT_FALSE(ListItem(RESOLUTION_LIST, 13, out));
  ASSERT_TRUE(ListItem(ASPECT_RATIO_LIST, 1, out));
  EXPECT_STREQ(out, "Aspect Ratio : 16/10");
  EXPECT_FALSE(ListItem(ASPECT_RATIO_LIST, 4, out));
  ASSERT_TRUE(ListItem(ANTI_ALIAS_LIST, 2, out));
  EXPECT_STREQ(out, "AntiAliasing  : 4x");
  EXPECT_FALSE(ListItem(ANTI_ALIAS_LIST, 3, out));
}

TEST(DisplaySettingsTest, SelectionsMapToTheNumbers) {
  const DisplaySettings initial = settingsForSelections(1, 1, 2, 0);
  EXPECT_EQ(initial.width, 640);
  EXPECT_EQ(initial.height, 480);
  EXPECT_EQ(initial.aspectRatio, 1.3333334f);
  EXPECT_TRUE(initial.fullscreen);
  EXPECT_EQ(initial.multisample, 0);

  const DisplaySettings s = settingsForSelections(7, 0, 1, 2);
  EXPECT_EQ(s.width, 1368);
  EXPECT_EQ(s.height, 768);
  EXPECT_EQ(s.aspectRatio, 1.6f);
  EXPECT_FALSE(s.fullscreen);
  EXPECT_EQ(s.multisample, 4);

  EXPECT_EQ(settingsForSelections(0, 2, 0, 1).width, 320);
  EXPECT_TRUE(settingsForSelections(0, 2, 0, 1).fullscreen);  // any non-zero value
  EXPECT_EQ(settingsForSelections(0, 0, 0, 1).aspectRatio, 1.7777778f);
  EXPECT_EQ(settingsForSelections(0, 0, 3, 1).aspectRatio, 1.25f);
  EXPECT_EQ(settingsForSelections(0, 0, 0, 1).multisample, 2);
  EXPECT_EQ(settingsForSelections(12, 0, 0, 0).height, 1200);
}

TEST(DisplaySettingsTest, IndicesOutsideTheTablesGiveZeros) {
  const DisplaySettings s = settingsForSelections(13, 0, 4, 3);
  EXPECT_EQ(s.width, 0);
  EXPECT_EQ(s.height, 0);
  EXPECT_EQ(s.aspectRatio, 0.0f);
  EXPECT_EQ(s.multisample, 0);
  EXPECT_EQ(settingsForSelections(-1, 0, -1, -1).width, 0);
}

TEST(DisplaySettingsTest, SettingsLine) {
  char line[128];
  formatSettingsLine(settingsForSelections(2, 0, 0, 1), line, sizeof line);
  EXPECT_STREQ(line, "settings: 800x600 aspect 1.7777778 fullscreen 0 multisample 2");
  formatSettingsLine(settingsForSelections(1, 1, 2, 0), line, sizeof line);
  EXPECT_STREQ(line, "settings: 640x480 aspect 1.3333334 fullscreen 1 multisample 0");
  formatSettingsLine(settingsForSelections(1, 1, 1, 0), line, sizeof line);
  EXPECT_STREQ(line, "settings: 640x480 aspect 1.6 fullscreen 1 multisample 0");
}

}  // namespace
