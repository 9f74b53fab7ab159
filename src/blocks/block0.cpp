#include "blocks/blocks.h"

void block0::render() {}
