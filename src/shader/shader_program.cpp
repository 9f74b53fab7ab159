#include "shader/shader_program.h"

#include <cstring>
#include <string>
#include <vector>

#include "graphics/graphics_device.h"
#include "graphics/transforms.h"
#include "platform/files/files.h"
#include "shader/shader_source.h"

namespace {

enum class Stage { Vertex, Pixel };

// The compiler's error text, or a fallback when it gave none.
std::string errorText(ID3DXBuffer* errors) {
  std::string text;
  if (errors && errors->GetBufferPointer() && errors->GetBufferSize() > 0) {
    const char* begin = static_cast<const char*>(errors->GetBufferPointer());
    text.assign(begin, strnlen(begin, errors->GetBufferSize()));
  }
  if (text.empty()) text = "The shader could not be compiled (the compiler gave no message).";
  return text;
}

// The first line of a compiler message, for the one-line report.
std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

// Compiles one half of a program; false (after the message box, and the
// line on stderr that names the file) when the compiler rejects it.
bool compileStage(ShaderProgram* program, Stage stage, const char* text, const char* path) {
  IDirect3DDevice9* device = g_graphicsDevice->device;
  const bool vertex = stage == Stage::Vertex;
  ID3DXBuffer* code = nullptr;
  ID3DXBuffer* errors = nullptr;
  ID3DXConstantTable** constants = vertex ? &program->vertexConstants : &program->pixelConstants;
  const HRESULT result = D3DXCompileShader(text, static_cast<UINT>(std::strlen(text)), nullptr, nullptr, "main",
                                           vertex ? "vs_2_0" : "ps_2_0", 0, &code, &errors, constants);
  if (FAILED(result)) {
    const std::string message = errorText(errors);
    reportDataFileProblem(path, std::string(vertex ? "its vertex" : "its pixel") + " shader does not compile (" +
                                    firstLine(message) + "); no shader program");
    MessageBoxA(nullptr, message.c_str(),
                vertex ? "HLSL VertexShader Compile Failure" : "HLSL PixelShader Compile Failure",
                MB_ICONEXCLAMATION);
    if (errors) errors->Release();
    if (code) code->Release();
    return false;
  }
  if (errors) errors->Release();
  if (code) {
    const auto* function = static_cast<const DWORD*>(code->GetBufferPointer());
    if (vertex) {
      device->CreateVertexShader(function, &program->vertexShader);
    } else {
      device->CreatePixelShader(function, &program->pixelShader);
    }
    code->Release();
  }
  return true;
}

void loadMatrix(D3DXMATRIX* out, const float values[16]) { std::memcpy(&out->_11, values, 16 * sizeof(float)); }

}  // namespace

ShaderProgram* ShaderProgram::load(const char* path) {
  if (!g_graphicsDevice || !g_graphicsDevice->device) return nullptr;
  auto* program = new ShaderProgram;
  VertexProfile profile;
  std::vector<char> vertexText(SHADER_TEXT_SIZE, '\0');
  std::vector<char> pixelText(SHADER_TEXT_SIZE, '\0');
  std::string problem;
  if (!readShaderSource(path, &profile, vertexText.data(), pixelText.data(), &problem)) {
    reportDataFileProblem(path, problem + "; no shader program");
    delete program;
    return nullptr;
  }
  // What the reader lost is told before the compiler's view of the rest;
  // the file gets one line either way.
  if (!problem.empty()) reportDataFileProblem(path, problem);

  const std::vector<D3DVERTEXELEMENT9> declaration = profile.toDeclaration();
  g_graphicsDevice->device->CreateVertexDeclaration(declaration.data(), &program->vertexDeclaration);

  // A text of at most one character (an empty section is a lone "\n") is
  // no shader.
  const bool hasVertex = std::strlen(vertexText.data()) > 1, hasPixel = std::strlen(pixelText.data()) > 1;
  if (!hasVertex && !hasPixel) {
    reportDataFileProblem(path, "it holds no HLSL_VS or HLSL_PS section; the program draws with the fixed function");
  }
  bool compiled = true;
  if (hasVertex) compiled = compileStage(program, Stage::Vertex, vertexText.data(), path);
  if (compiled && hasPixel) compiled = compileStage(program, Stage::Pixel, pixelText.data(), path);
  if (!compiled) {
    release(program);
    delete program;
    return nullptr;
  }
  return program;
}

void ShaderProgram::bind(ShaderProgram* program) {
  if (!program || !g_graphicsDevice || !g_graphicsDevice->device) return;
  GraphicsDevice* graphics = g_graphicsDevice;
  IDirect3DDevice9* device = graphics->device;

  float values[16];
  D3DXMATRIX view;
  D3DXMATRIX projection;
  getTransformOrViewport(2, values);
  loadMatrix(&view, values);
  getTransformOrViewport(1, values);
  loadMatrix(&projection, values);

  D3DXMATRIX viewProjection;
  D3DXMatrixMultiply(&viewProjection, &view, &projection);
  // A singular view has no inverse; its normal matrix is then the identity.
  D3DXMATRIX inverse;
  D3DXMatrixIdentity(&inverse);
  D3DXMatrixInverse(&inverse, nullptr, &view);
  D3DXMATRIX inverseTranspose;
  D3DXMatrixTranspose(&inverseTranspose, &inverse);
  D3DXMATRIX object;
  loadMatrix(&object, graphics->objectMatrix);

  if (ID3DXConstantTable* constants = program->vertexConstants) {
    constants->SetMatrix(device, "mv", &view);
    constants->SetMatrix(device, "mvp", &viewProjection);
    constants->SetMatrix(device, "mvit", &inverseTranspose);
    constants->SetMatrix(device, "m_object", &object);
    constants->SetFloatArray(device, "mat_diffuse", &graphics->materialDiffuse.r, 4);
    constants->SetFloatArray(device, "mat_specular", &graphics->materialSpecular.r, 4);
    constants->SetFloatArray(device, "mat_ambient", &graphics->materialAmbient.r, 4);
  }
  device->SetVertexDeclaration(program->vertexDeclaration);
  device->SetVertexShader(program->vertexShader);
  device->SetPixelShader(program->pixelShader);
}

void ShaderProgram::setVector(ShaderProgram* program, const char* name, float x, float y, float z, float w) {
  if (!program || !name || !g_graphicsDevice || !g_graphicsDevice->device) return;
  ID3DXConstantTable* table = nullptr;
  if (program->vertexConstants && program->vertexConstants->GetConstantByName(nullptr, name)) {
    table = program->vertexConstants;
  } else if (program->pixelConstants && program->pixelConstants->GetConstantByName(nullptr, name)) {
    table = program->pixelConstants;
  }
  if (!table) return;
  const D3DXVECTOR4 vector{x, y, z, w};
  table->SetVector(g_graphicsDevice->device, name, &vector);
}

void ShaderProgram::release(ShaderProgram* program) {
  if (!program) return;
  if (program->vertexConstants) program->vertexConstants->Release();
  if (program->pixelConstants) program->pixelConstants->Release();
  if (program->vertexDeclaration) program->vertexDeclaration->Release();
  if (program->pixelShader) program->pixelShader->Release();
  if (program->vertexShader) program->vertexShader->Release();
  program->vertexConstants = nullptr;
  program->pixelConstants = nullptr;
  program->vertexDeclaration = nullptr;
  program->pixelShader = nullptr;
  program->vertexShader = nullptr;
}
