#include "ui2d/display_settings.h"

// Placeholder until the configuration screen lands: the default settings.
DisplaySettings runConfigurationScreen() { return DisplaySettings{}; }
