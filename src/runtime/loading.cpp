#include "runtime/demo_resources.h"

// Placeholder until the loading phase lands.
void loadDemoResources(DemoResources*) {}
void releaseDemoResources(DemoResources*) {}
void drawLoadingFrame(float) {}
