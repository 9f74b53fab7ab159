// Shader sources in the shape the content uses (as the .nsl reader delivers
// them: no comments, no indentation).
#pragma once

namespace hlsltest {

inline constexpr const char* kLambertVs = R"(float4x4 mvp;
float4x4 mv;
float4x4 mvit;
float4x4 m_object;
float4 mat_diffuse;
float4 mat_ambient;
struct VS_INPUT {
float4 pos : POSITION;
float3 normal : NORMAL;
float2 uv : TEXCOORD0;
};
struct VS_OUTPUT {
float4 pos : POSITION;
float4 color : COLOR0;
float2 uv : TEXCOORD0;
};
VS_OUTPUT main(VS_INPUT input)
{
VS_OUTPUT output = (VS_OUTPUT)0;
output.pos = mul(input.pos, mvp);
float3 n = normalize(mul(input.normal, (float3x3)mvit));
float3 light = normalize(float3(0.4, 0.6, 1.0));
float lambert = saturate(dot(n, light));
output.color.rgb = mat_ambient.rgb + mat_diffuse.rgb * lambert;
output.color.a = mat_diffuse.a;
output.uv = input.uv;
return output;
}
)";

inline constexpr const char* kLambertPs = R"(sampler2D tex0 : register(s0);
float4 main(float4 color : COLOR0, float2 uv : TEXCOORD0) : COLOR
{
float4 texel = tex2D(tex0, uv);
return texel * color;
}
)";

inline constexpr const char* kBlurPs = R"(sampler2D source : register(s0);
float4 direction;
static const float weights[9] = {0.05, 0.09, 0.12, 0.15, 0.18, 0.15, 0.12, 0.09, 0.05};
float4 main(float2 uv : TEXCOORD0) : COLOR
{
float2 step = direction.xy / 512.0;
float4 sum = 0;
for (int i = 0; i < 9; i++)
{
sum += tex2D(source, uv + step * (i - 4)) * weights[i];
}
return sum * 1.1;
}
)";

inline constexpr const char* kRevealVs = R"(float4x4 mvp;
float4x4 m_object;
struct VS_OUT {
float4 pos : POSITION;
float2 uv : TEXCOORD0;
float height : TEXCOORD1;
};
VS_OUT main(float4 pos : POSITION, float2 uv : TEXCOORD0)
{
VS_OUT o;
o.pos = mul(pos, mvp);
o.uv = uv;
o.height = mul(pos, m_object).y;
return o;
}
)";

inline constexpr const char* kRevealPs = R"(sampler2D tex0 : register(s0);
float4 auxiliar;
float4 mat_diffuse;
float4 main(float2 uv : TEXCOORD0, float height : TEXCOORD1) : COLOR
{
float front = auxiliar.x * 10.0;
float d = front - height;
clip(d);
if (d > 0.5)
{
float4 c = tex2D(tex0, uv) * mat_diffuse;
return c;
}
float glow = 1.0 - d * 2.0;
return float4(1.0, 0.55, 0.1, 1.0) * glow + float4(0, 0, 0, 0.5);
}
)";

inline constexpr const char* kLoadingPs = R"(float4 auxiliar;
float4 main(float2 uv : TEXCOORD0, float4 color : COLOR0) : COLOR
{
float lit = step(uv.x, auxiliar.x);
if (lit < 0.5) discard;
return float4(color.rgb, color.a * lit);
}
)";

// A pixel shader mixing most of the language: used as a seed for variants.
inline constexpr const char* kMixedPs = R"(float4x4 world;
float3x3 rot;
float4 tint;
sampler2D tex : register(s0);
struct Light { float3 dir; float4 color; };
float3 shade(Light l, float3 n) { return saturate(dot(n, l.dir)) * l.color.rgb; }
float4 main(float4 uv : TEXCOORD0, float3 n : TEXCOORD1) : COLOR
{
Light l = (Light)0;
l.dir = normalize(float3(0.2, 0.5, 1));
l.color = tint;
float3 c = shade(l, n);
float4 v = float4(uv.xy, 0, 1);
float3 w = mul(v.xyz, rot);
float4 p = mul(v, world);
float k = v.x * 2 + v.y / 3 - 1;
int i = 3;
i += 2;
v.xy *= 0.5;
v.zw = uv.yx;
float4 t = tex2D(tex, uv.xy);
bool b = k > 0.5 && uv.z < 1;
float4 s = b ? t : v;
for (int j = 0; j < 3; j++) { s += t * 0.1; }
float m = max(k, 0.25) + fmod(k, 2) + lerp(k, 1, 0.5);
return float4(c + w, m) + p * 0.01 + s + i;
}
)";

}  // namespace hlsltest
