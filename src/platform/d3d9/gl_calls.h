// OpenGL for the Direct3D 9 stand-in, with every call counted.
//
// Each OpenGL function the stand-in uses is redefined here to bump a counter
// before it calls libepoxy's entry point, so benchmarks can report how many
// OpenGL calls a frame costs without an outside tracer. The platform's
// sources include this header instead of <epoxy/gl.h>; a function missing
// from the list still works, it just goes uncounted (the tracer comparison
// in the tests notices).
#pragma once

#include <epoxy/gl.h>

#include <cstdint>

namespace vorn::d3d {
// OpenGL calls made through this header since the last reset. One thread
// drives OpenGL, so a plain counter suffices.
inline std::uint64_t glCallCount = 0;
}  // namespace vorn::d3d

#define VORN_COUNTED_GL(name, ...) (++::vorn::d3d::glCallCount, epoxy_##name(__VA_ARGS__))

#undef glActiveTexture
#define glActiveTexture(...) VORN_COUNTED_GL(glActiveTexture, __VA_ARGS__)
#undef glAttachShader
#define glAttachShader(...) VORN_COUNTED_GL(glAttachShader, __VA_ARGS__)
#undef glBindBuffer
#define glBindBuffer(...) VORN_COUNTED_GL(glBindBuffer, __VA_ARGS__)
#undef glBindFragDataLocation
#define glBindFragDataLocation(...) VORN_COUNTED_GL(glBindFragDataLocation, __VA_ARGS__)
#undef glBindFramebuffer
#define glBindFramebuffer(...) VORN_COUNTED_GL(glBindFramebuffer, __VA_ARGS__)
#undef glBindRenderbuffer
#define glBindRenderbuffer(...) VORN_COUNTED_GL(glBindRenderbuffer, __VA_ARGS__)
#undef glBindSampler
#define glBindSampler(...) VORN_COUNTED_GL(glBindSampler, __VA_ARGS__)
#undef glBindTexture
#define glBindTexture(...) VORN_COUNTED_GL(glBindTexture, __VA_ARGS__)
#undef glBindVertexArray
#define glBindVertexArray(...) VORN_COUNTED_GL(glBindVertexArray, __VA_ARGS__)
#undef glBlendColor
#define glBlendColor(...) VORN_COUNTED_GL(glBlendColor, __VA_ARGS__)
#undef glBlendEquationSeparate
#define glBlendEquationSeparate(...) VORN_COUNTED_GL(glBlendEquationSeparate, __VA_ARGS__)
#undef glBlendFuncSeparate
#define glBlendFuncSeparate(...) VORN_COUNTED_GL(glBlendFuncSeparate, __VA_ARGS__)
#undef glBlitFramebuffer
#define glBlitFramebuffer(...) VORN_COUNTED_GL(glBlitFramebuffer, __VA_ARGS__)
#undef glBufferData
#define glBufferData(...) VORN_COUNTED_GL(glBufferData, __VA_ARGS__)
#undef glBufferSubData
#define glBufferSubData(...) VORN_COUNTED_GL(glBufferSubData, __VA_ARGS__)
#undef glCheckFramebufferStatus
#define glCheckFramebufferStatus(...) VORN_COUNTED_GL(glCheckFramebufferStatus, __VA_ARGS__)
#undef glClear
#define glClear(...) VORN_COUNTED_GL(glClear, __VA_ARGS__)
#undef glClearBufferfv
#define glClearBufferfv(...) VORN_COUNTED_GL(glClearBufferfv, __VA_ARGS__)
#undef glClearColor
#define glClearColor(...) VORN_COUNTED_GL(glClearColor, __VA_ARGS__)
#undef glClearDepth
#define glClearDepth(...) VORN_COUNTED_GL(glClearDepth, __VA_ARGS__)
#undef glClearStencil
#define glClearStencil(...) VORN_COUNTED_GL(glClearStencil, __VA_ARGS__)
#undef glClientWaitSync
#define glClientWaitSync(...) VORN_COUNTED_GL(glClientWaitSync, __VA_ARGS__)
#undef glColorMask
#define glColorMask(...) VORN_COUNTED_GL(glColorMask, __VA_ARGS__)
#undef glCompileShader
#define glCompileShader(...) VORN_COUNTED_GL(glCompileShader, __VA_ARGS__)
#undef glCreateProgram
#define glCreateProgram(...) VORN_COUNTED_GL(glCreateProgram, __VA_ARGS__)
#undef glCreateShader
#define glCreateShader(...) VORN_COUNTED_GL(glCreateShader, __VA_ARGS__)
#undef glCullFace
#define glCullFace(...) VORN_COUNTED_GL(glCullFace, __VA_ARGS__)
#undef glDeleteBuffers
#define glDeleteBuffers(...) VORN_COUNTED_GL(glDeleteBuffers, __VA_ARGS__)
#undef glDeleteFramebuffers
#define glDeleteFramebuffers(...) VORN_COUNTED_GL(glDeleteFramebuffers, __VA_ARGS__)
#undef glDeleteProgram
#define glDeleteProgram(...) VORN_COUNTED_GL(glDeleteProgram, __VA_ARGS__)
#undef glDeleteRenderbuffers
#define glDeleteRenderbuffers(...) VORN_COUNTED_GL(glDeleteRenderbuffers, __VA_ARGS__)
#undef glDeleteShader
#define glDeleteShader(...) VORN_COUNTED_GL(glDeleteShader, __VA_ARGS__)
#undef glDeleteSync
#define glDeleteSync(...) VORN_COUNTED_GL(glDeleteSync, __VA_ARGS__)
#undef glDeleteTextures
#define glDeleteTextures(...) VORN_COUNTED_GL(glDeleteTextures, __VA_ARGS__)
#undef glDeleteVertexArrays
#define glDeleteVertexArrays(...) VORN_COUNTED_GL(glDeleteVertexArrays, __VA_ARGS__)
#undef glDepthFunc
#define glDepthFunc(...) VORN_COUNTED_GL(glDepthFunc, __VA_ARGS__)
#undef glDepthMask
#define glDepthMask(...) VORN_COUNTED_GL(glDepthMask, __VA_ARGS__)
#undef glDepthRange
#define glDepthRange(...) VORN_COUNTED_GL(glDepthRange, __VA_ARGS__)
#undef glDetachShader
#define glDetachShader(...) VORN_COUNTED_GL(glDetachShader, __VA_ARGS__)
#undef glDisable
#define glDisable(...) VORN_COUNTED_GL(glDisable, __VA_ARGS__)
#undef glDrawArrays
#define glDrawArrays(...) VORN_COUNTED_GL(glDrawArrays, __VA_ARGS__)
#undef glDrawElementsBaseVertex
#define glDrawElementsBaseVertex(...) VORN_COUNTED_GL(glDrawElementsBaseVertex, __VA_ARGS__)
#undef glEnable
#define glEnable(...) VORN_COUNTED_GL(glEnable, __VA_ARGS__)
#undef glEnableVertexAttribArray
#define glEnableVertexAttribArray(...) VORN_COUNTED_GL(glEnableVertexAttribArray, __VA_ARGS__)
#undef glFenceSync
#define glFenceSync(...) VORN_COUNTED_GL(glFenceSync, __VA_ARGS__)
#undef glFlush
#define glFlush(...) VORN_COUNTED_GL(glFlush, __VA_ARGS__)
#undef glFramebufferRenderbuffer
#define glFramebufferRenderbuffer(...) VORN_COUNTED_GL(glFramebufferRenderbuffer, __VA_ARGS__)
#undef glFramebufferTexture2D
#define glFramebufferTexture2D(...) VORN_COUNTED_GL(glFramebufferTexture2D, __VA_ARGS__)
#undef glFrontFace
#define glFrontFace(...) VORN_COUNTED_GL(glFrontFace, __VA_ARGS__)
#undef glGenBuffers
#define glGenBuffers(...) VORN_COUNTED_GL(glGenBuffers, __VA_ARGS__)
#undef glGenFramebuffers
#define glGenFramebuffers(...) VORN_COUNTED_GL(glGenFramebuffers, __VA_ARGS__)
#undef glGenRenderbuffers
#define glGenRenderbuffers(...) VORN_COUNTED_GL(glGenRenderbuffers, __VA_ARGS__)
#undef glGenSamplers
#define glGenSamplers(...) VORN_COUNTED_GL(glGenSamplers, __VA_ARGS__)
#undef glGenTextures
#define glGenTextures(...) VORN_COUNTED_GL(glGenTextures, __VA_ARGS__)
#undef glGenVertexArrays
#define glGenVertexArrays(...) VORN_COUNTED_GL(glGenVertexArrays, __VA_ARGS__)
#undef glGenerateMipmap
#define glGenerateMipmap(...) VORN_COUNTED_GL(glGenerateMipmap, __VA_ARGS__)
#undef glGetActiveUniform
#define glGetActiveUniform(...) VORN_COUNTED_GL(glGetActiveUniform, __VA_ARGS__)
#undef glGetError
#define glGetError(...) VORN_COUNTED_GL(glGetError, __VA_ARGS__)
#undef glGetFloatv
#define glGetFloatv(...) VORN_COUNTED_GL(glGetFloatv, __VA_ARGS__)
#undef glGetFramebufferAttachmentParameteriv
#define glGetFramebufferAttachmentParameteriv(...) VORN_COUNTED_GL(glGetFramebufferAttachmentParameteriv, __VA_ARGS__)
#undef glGetIntegerv
#define glGetIntegerv(...) VORN_COUNTED_GL(glGetIntegerv, __VA_ARGS__)
#undef glGetProgramInfoLog
#define glGetProgramInfoLog(...) VORN_COUNTED_GL(glGetProgramInfoLog, __VA_ARGS__)
#undef glGetProgramiv
#define glGetProgramiv(...) VORN_COUNTED_GL(glGetProgramiv, __VA_ARGS__)
#undef glGetRenderbufferParameteriv
#define glGetRenderbufferParameteriv(...) VORN_COUNTED_GL(glGetRenderbufferParameteriv, __VA_ARGS__)
#undef glGetShaderInfoLog
#define glGetShaderInfoLog(...) VORN_COUNTED_GL(glGetShaderInfoLog, __VA_ARGS__)
#undef glGetShaderiv
#define glGetShaderiv(...) VORN_COUNTED_GL(glGetShaderiv, __VA_ARGS__)
#undef glGetTexImage
#define glGetTexImage(...) VORN_COUNTED_GL(glGetTexImage, __VA_ARGS__)
#undef glGetUniformLocation
#define glGetUniformLocation(...) VORN_COUNTED_GL(glGetUniformLocation, __VA_ARGS__)
#undef glLinkProgram
#define glLinkProgram(...) VORN_COUNTED_GL(glLinkProgram, __VA_ARGS__)
#undef glMapBufferRange
#define glMapBufferRange(...) VORN_COUNTED_GL(glMapBufferRange, __VA_ARGS__)
#undef glPixelStorei
#define glPixelStorei(...) VORN_COUNTED_GL(glPixelStorei, __VA_ARGS__)
#undef glPointParameteri
#define glPointParameteri(...) VORN_COUNTED_GL(glPointParameteri, __VA_ARGS__)
#undef glPointSize
#define glPointSize(...) VORN_COUNTED_GL(glPointSize, __VA_ARGS__)
#undef glPolygonMode
#define glPolygonMode(...) VORN_COUNTED_GL(glPolygonMode, __VA_ARGS__)
#undef glPolygonOffset
#define glPolygonOffset(...) VORN_COUNTED_GL(glPolygonOffset, __VA_ARGS__)
#undef glProvokingVertex
#define glProvokingVertex(...) VORN_COUNTED_GL(glProvokingVertex, __VA_ARGS__)
#undef glReadPixels
#define glReadPixels(...) VORN_COUNTED_GL(glReadPixels, __VA_ARGS__)
#undef glRenderbufferStorage
#define glRenderbufferStorage(...) VORN_COUNTED_GL(glRenderbufferStorage, __VA_ARGS__)
#undef glRenderbufferStorageMultisample
#define glRenderbufferStorageMultisample(...) VORN_COUNTED_GL(glRenderbufferStorageMultisample, __VA_ARGS__)
#undef glSamplerParameterf
#define glSamplerParameterf(...) VORN_COUNTED_GL(glSamplerParameterf, __VA_ARGS__)
#undef glSamplerParameterfv
#define glSamplerParameterfv(...) VORN_COUNTED_GL(glSamplerParameterfv, __VA_ARGS__)
#undef glSamplerParameteri
#define glSamplerParameteri(...) VORN_COUNTED_GL(glSamplerParameteri, __VA_ARGS__)
#undef glScissor
#define glScissor(...) VORN_COUNTED_GL(glScissor, __VA_ARGS__)
#undef glShaderSource
#define glShaderSource(...) VORN_COUNTED_GL(glShaderSource, __VA_ARGS__)
#undef glStencilMask
#define glStencilMask(...) VORN_COUNTED_GL(glStencilMask, __VA_ARGS__)
#undef glTexImage2D
#define glTexImage2D(...) VORN_COUNTED_GL(glTexImage2D, __VA_ARGS__)
#undef glTexParameteri
#define glTexParameteri(...) VORN_COUNTED_GL(glTexParameteri, __VA_ARGS__)
#undef glTexParameteriv
#define glTexParameteriv(...) VORN_COUNTED_GL(glTexParameteriv, __VA_ARGS__)
#undef glTexSubImage2D
#define glTexSubImage2D(...) VORN_COUNTED_GL(glTexSubImage2D, __VA_ARGS__)
#undef glUniform1i
#define glUniform1i(...) VORN_COUNTED_GL(glUniform1i, __VA_ARGS__)
#undef glUniform4fv
#define glUniform4fv(...) VORN_COUNTED_GL(glUniform4fv, __VA_ARGS__)
#undef glUniformMatrix4fv
#define glUniformMatrix4fv(...) VORN_COUNTED_GL(glUniformMatrix4fv, __VA_ARGS__)
#undef glUnmapBuffer
#define glUnmapBuffer(...) VORN_COUNTED_GL(glUnmapBuffer, __VA_ARGS__)
#undef glUseProgram
#define glUseProgram(...) VORN_COUNTED_GL(glUseProgram, __VA_ARGS__)
#undef glVertexAttrib4f
#define glVertexAttrib4f(...) VORN_COUNTED_GL(glVertexAttrib4f, __VA_ARGS__)
#undef glVertexAttribPointer
#define glVertexAttribPointer(...) VORN_COUNTED_GL(glVertexAttribPointer, __VA_ARGS__)
#undef glViewport
#define glViewport(...) VORN_COUNTED_GL(glViewport, __VA_ARGS__)
