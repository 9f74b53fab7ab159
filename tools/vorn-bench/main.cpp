// vorn-bench: headless measurements. Each benchmark (points, clock, blocks,
// ...) lives in its own bench_<name>.cpp and registers itself.
#include "command_registry.h"

int main(int argc, char** argv) { return tools::dispatch("vorn-bench", argc, argv); }
