// Material binding around every drawn subset: textures per stage, blending,
// alpha test, fog, material colours and the shader program.
#include "scene/material.h"

#include "graphics/graphics_device.h"
#include "scene/texture.h"
#include "shader/shader_program.h"

namespace {

// Fixed-function texture stages Direct3D 9 offers; references beyond them
// stay in the material but are never bound.
constexpr std::uint32_t kTextureStages = 8;

// diffuse alpha x 255 truncated toward zero, kept inside the 0..255 range
// that the alpha reference holds (an out-of-range or NaN alpha would
// otherwise make the conversion undefined).
DWORD alphaReference(float alpha) {
  const float value = alpha * 255.0f;
  if (!(value > 0.0f)) return 0;
  if (value >= 255.0f) return 255;
  return static_cast<DWORD>(value);
}

}  // namespace

void setRenderSwitch(int kind, std::uint32_t value) {
  GraphicsDevice* gd = g_graphicsDevice;
  if (!gd || !gd->device) return;
  IDirect3DDevice9* device = gd->device;
  switch (kind) {
    case 1:
      if (value == 1) {
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_TEXTURE);
      } else {
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
      }
      break;
    case 6:
      device->SetRenderState(D3DRS_ALPHATESTENABLE, value);
      break;
    case 7:
      device->SetRenderState(D3DRS_FOGENABLE, value);
      break;
    case 9:
      device->SetRenderState(D3DRS_ALPHAFUNC, value);
      break;
    default:
      break;
  }
}

void bindMaterial(Material* material) {
  GraphicsDevice* gd = g_graphicsDevice;
  if (!material || !gd || !gd->device) return;
  IDirect3DDevice9* device = gd->device;

  device->SetTexture(0, nullptr);
  device->SetTexture(1, nullptr);
  const bool texturing = gd->texturingEnabled;

  if (texturing) {
    gd->materialDiffuse = material->diffuse;
    gd->materialSpecular = material->specular;
    gd->materialAmbient = material->ambient;

    std::uint32_t stage = 0;
    for (Texture* texture : material->textures) {
      if (stage >= kTextureStages) break;
      if (texture && texture->resource) {
        gd->bindTextureResource(stage, texture->resource);
        device->SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_MODULATE);
      } else {
        device->SetTexture(stage, nullptr);
      }
      ++stage;
    }
  }

  if (material->flags & MAT_BLEND) {
    if (texturing) {
      setRenderSwitch(1, 1);
      if (material->blendMode == 2) {
        device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
        device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
        device->SetRenderState(D3DRS_ALPHAREF, alphaReference(material->diffuse.a));
      }
    }
    if (material->blendMode == 3) {
      device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
      device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    }
  } else if (texturing) {
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  }

  if (texturing) {
    device->SetRenderState(D3DRS_FOGENABLE, (material->flags & MAT_FOG) ? TRUE : FALSE);
    if (material->flags & MAT_PROGRAM) {
      if (material->program) {
        ShaderProgram::bind(material->program);
      } else {
        device->SetVertexShader(nullptr);
        device->SetPixelShader(nullptr);
      }
    }
  }
}

void unbindMaterial(Material* material) {
  GraphicsDevice* gd = g_graphicsDevice;
  if (!material || !gd || !gd->device) return;
  IDirect3DDevice9* device = gd->device;
  const bool texturing = gd->texturingEnabled;

  std::uint32_t stage = 0;
  for (auto it = material->textures.begin(); it != material->textures.end() && stage < kTextureStages;
       ++it, ++stage) {
    device->SetTexture(stage, nullptr);
    if (texturing) device->SetTexture(stage, nullptr);
  }

  if (texturing && (material->flags & MAT_FOG)) device->SetRenderState(D3DRS_FOGENABLE, FALSE);
  if (material->flags & MAT_BLEND) {
    if (texturing) {
      device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
      if (material->blendMode == 2) device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    }
    if (material->blendMode == 3) {
      device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
      device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    }
  }

  device->SetVertexShader(nullptr);
  device->SetPixelShader(nullptr);
}
