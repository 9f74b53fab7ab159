// Materials: colours, flags, blend mode, textures per stage, shader program.
#pragma once

#include <cstdint>
#include <list>
#include <string>

#include "graphics/value_types.h"

struct Texture;
struct ShaderProgram;

constexpr std::uint32_t MAT_PROGRAM = 0x01;
constexpr std::uint32_t MAT_BLEND = 0x04;
constexpr std::uint32_t MAT_FOG = 0x08;

struct Material {
  std::string name;
  ColorF diffuse;
  ColorF specular{0, 0, 0, 0};
  ColorF ambient{0, 0, 0, 0};
  std::uint32_t flags = 0;
  std::uint32_t blendMode = 1;
  std::list<Texture*> textures;  // entry i binds on stage i; not owned
  ShaderProgram* program = nullptr;  // not owned
};

void bindMaterial(Material* material);
void unbindMaterial(Material* material);
void setRenderSwitch(int kind, std::uint32_t value);
