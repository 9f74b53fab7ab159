// Vorn's extensions of the Direct3D 9 stand-in, for tests, tools and
// benchmarks. Engine code never includes this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d9/d3d9.h"
#include "platform/hlsl/hlsl.h"

// Reads the pixels of the current render target (the back buffer when no
// render-to-surface scene is open) as RGBA8 rows, top row first. Flushes any
// pending batched draws first.
bool VornD3D_ReadPixels(IDirect3DDevice9* device, std::vector<std::uint8_t>* rgba, int* width, int* height);

// Reads level 0 of a texture (for example a render target) as RGBA8 rows,
// texture row 0 first.
bool VornD3D_ReadTexture(IDirect3DTexture9* texture, std::vector<std::uint8_t>* rgba, int* width, int* height);

// Batching of consecutive DrawPrimitiveUP calls with identical state (on by
// default; the VORN_NO_BATCHING environment variable turns it off too).
void VornD3D_SetBatching(bool enabled);
bool VornD3D_Batching();

// Drawing the back buffer straight into the window's framebuffer where it
// fits (on by default; the VORN_NO_WINDOW_BACK_BUFFER environment variable
// turns it off too). Applies to devices created afterwards; without it the
// back buffer is always a framebuffer object that Present copies.
void VornD3D_SetWindowBackBuffer(bool enabled);

// OpenGL draw calls issued since the last reset, for tests and benchmarks.
std::uint64_t VornD3D_DrawCallCount();
void VornD3D_ResetDrawCallCount();

// Every OpenGL call the stand-in made since the last reset (draws, state,
// uploads, presentation), for benchmarks and the tracer comparison.
std::uint64_t VornD3D_GLCallCount();
void VornD3D_ResetGLCallCount();

// Presentation: when false, Present never waits for vertical sync (offline
// rendering, benchmarks). Default true, as D3DPRESENT_INTERVAL_DEFAULT.
void VornD3D_SetVsync(bool enabled);

// Asynchronous read-back of the back buffer for capture: queue a read of the
// frame just drawn (call before Present), and collect finished frames in
// order. Implemented with pixel buffer objects.
bool VornD3D_QueueBackBufferRead(IDirect3DDevice9* device);
bool VornD3D_TakeBackBufferRead(IDirect3DDevice9* device, std::vector<std::uint8_t>* rgba, int* width, int* height,
                                bool wait);

// Shaders straight from a compiled program (what CreateVertexShader and
// CreatePixelShader build from D3DXCompileShader's code buffer).
HRESULT VornD3D_CreateVertexShaderFromProgram(IDirect3DDevice9* device, const hlsl::Program& program,
                                              IDirect3DVertexShader9** shader);
HRESULT VornD3D_CreatePixelShaderFromProgram(IDirect3DDevice9* device, const hlsl::Program& program,
                                             IDirect3DPixelShader9** shader);

// OpenGL errors raised since the last call (0 when all went well).
unsigned VornD3D_TakeGLErrors(IDirect3DDevice9* device);
// The OpenGL compiler or linker message of the last program that failed.
std::string VornD3D_LastProgramError(IDirect3DDevice9* device);
// Linked programs in the device's cache (fixed-function and shader pairs).
std::size_t VornD3D_ProgramCount(IDirect3DDevice9* device);
