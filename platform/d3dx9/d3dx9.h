// The D3DX utility library as the engine uses it: the maths (vectors, matrices, rays and boxes) and
// the texture file loader.
#pragma once

#include "d3dx9/d3dx9_math.h"
#include "d3dx9/d3dx9_tex.h"
