#pragma once
// The legacy OpenGL 1.1 and GLU declarations the drawing code uses.
#include <GL/gl.h>
#include <GL/glu.h>
