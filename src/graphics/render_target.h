// Off-screen render targets: TextureResources that can be drawn into.
#pragma once

#include "scene/texture.h"

TextureResource* createRenderTarget(std::uint32_t kind, std::uint32_t width, std::uint32_t height,
                                    std::uint32_t bytesPerPixel);
void beginRenderTarget(TextureResource* target);
void endRenderTarget(TextureResource* target);
void destroyRenderTarget(TextureResource* target);
