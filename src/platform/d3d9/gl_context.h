// The OpenGL context behind a device, shared by the device and every
// resource it created, so that a resource released after its device (or a
// device released while another device's context is current) touches the
// right context, or none once the context is gone.
#pragma once

#include <SDL.h>

#include <memory>

#include "platform/d3d9/gl_calls.h"
#include "platform/d3d9/gl_state.h"

namespace vorn::d3d {

class Device;

struct GLContext {
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
  bool alive = false;
  // The device that owns the context while it lives: resources ask it to
  // draw pending batched work before they change contents it may read.
  Device* owner = nullptr;
  // What OpenGL holds in this context, as far as this layer set it.
  GLState state;

  // Makes this context current on the calling thread; false once the
  // context has been destroyed (its objects died with it).
  bool makeCurrent();
  void destroy();
};

using ContextRef = std::shared_ptr<GLContext>;

// The context last made current through makeCurrent (null when none).
GLContext* currentContext();

}  // namespace vorn::d3d
