// Matrix-mode transform operations on the device's current transform, and
// the projection set-ups that open device scenes.
#pragma once

#include "platform/d3dx9/d3dx9.h"

void loadIdentity();
// current := M x current; objectMatrix := M.
void multiplyTransform(const D3DXMATRIX& m);
// kind 0: viewport X, Y, Width, Height; 1: projection; 2: view.
void getTransformOrViewport(int kind, float out[16]);
void beginPerspective(float aspect, float fovDegrees, float zNear, float zFar);
void beginOrtho2D(float width, float height);
void setupCamera(float aspect, float fovDegrees, float zNear, float zFar);
void setEulerView(float px, float py, float pz, float ax, float ay, float az);
