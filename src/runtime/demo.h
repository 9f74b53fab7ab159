// The main driver: configuration, start-up, loading, the frame loop and
// shutdown.
#pragma once

void runDemo();
