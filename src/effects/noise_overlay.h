// The moving film-grain veil over the 640 x 480 screen.
#pragma once

struct ColorRGBA;

void drawNoiseOverlay(const ColorRGBA& color);
