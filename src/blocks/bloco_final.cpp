#include "blocks/blocks.h"

void bloco_final::render() {}
