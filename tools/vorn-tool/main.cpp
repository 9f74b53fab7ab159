// vorn-tool: inspects the demo's data files for content authors. Each
// command (shader, hlsl, scene) lives in its own tool_<command>.cpp.
#include "command_registry.h"

int main(int argc, char** argv) { return tools::dispatch("vorn-tool", argc, argv); }
