#pragma once
// The legacy OpenGL the intro draws with, on WebGL 2: exactly the GL 1.1 and
// GLU subset that gfx/, scene/ and app/ call, and nothing else. The web build
// includes this header through gfx/gl.h in place of the system's <GL/gl.h>;
// the desktop builds never see it.
//
// How to use (platform/web/display.cpp does this):
//
//     if (!webgl::CreateContext("#canvas")) ...;   // WebGL 2 on the canvas
//     glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
//     glBegin(GL_QUADS); glTexCoord2f(0, 0); glVertex3f(-1, -1, -5); ...; glEnd();
//     webgl::Present();      // once per frame, before the browser shows it
//     webgl::DestroyContext();
//
// How it works: every glVertex is transformed on the CPU (modelview, then
// projection, both float as GL 1.x computes them) and appended, with its
// texture coordinate, colour and point size, to one growing vertex array.
// glEnd turns the primitive into indices (a quad into the triangles
// (0, 1, 3) and (1, 2, 3), the split Mesa makes, so that a non-planar quad
// covers the same pixels; a line strip into line pairs; a triangle strip into
// triangles) and appends them to the current draw, or opens a new draw when
// the draw state differs (primitive class, texture, point sprite, blending,
// depth test). Matrices are not part of that state, so consecutive begin/end
// pairs with the same texture and blending become one draw call whatever
// their transforms. The draws go to WebGL (one vertex upload, then one
// drawElements each) when something needs the frame buffer as it stands:
// glClear, glCopyTexImage2D, glViewport, a texture upload or deletion, and
// Present. One shader program serves every draw.
//
// What each entry point does:
//   glBegin/glEnd        GL_POINTS, GL_LINE_STRIP, GL_TRIANGLE_STRIP, GL_QUADS;
//                        an incomplete last primitive is dropped, as in GL
//   glVertex2f/3f, glTexCoord2f, glColor4f, glNormal3f
//                        immediate mode; a vertex outside glBegin/glEnd is ignored
//   glMatrixMode         GL_MODELVIEW (stack of 32), GL_PROJECTION (stack of 4)
//   glLoadIdentity, glPushMatrix, glPopMatrix, glTranslatef, glRotatef,
//   gluPerspective, gluOrtho2D
//                        float matrices as Mesa computes them (gluPerspective in
//                        double, then rounded once)
//   glEnable/glDisable   GL_TEXTURE_2D, GL_DEPTH_TEST, GL_BLEND,
//                        GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_POINT_SPRITE_ARB;
//                        glDisable(GL_LIGHTING) is accepted (lighting is never on)
//   glTexGeni            GL_S/GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP: texture
//                        coordinates from the eye-space position and normal; a
//                        coordinate whose generation is on without that mode
//                        keeps its glTexCoord value
//   glTexEnvf            GL_POINT_SPRITE_ARB / GL_COORD_REPLACE_ARB (point sprites
//                        take their coordinates from the point), GL_TEXTURE_ENV /
//                        GL_TEXTURE_ENV_MODE / GL_MODULATE (the only mode)
//   glBlendFunc          the ten factors GL 1.1 and WebGL share
//   glDepthFunc          the eight comparisons
//   glShadeModel         GL_SMOOTH only
//   glHint               accepted and ignored (hints are advisory)
//   glClear, glClearColor, glClearDepth, glViewport
//   glGenTextures, glDeleteTextures, glBindTexture (GL_TEXTURE_2D; binding
//                        an unused name creates it), glTexParameteri (filters
//                        GL_NEAREST/GL_LINEAR, wraps GL_REPEAT/GL_CLAMP_TO_EDGE),
//                        glTexImage2D (level 0; GL_RGB/GL_RGBA/GL_RGB8/GL_RGBA8 or
//                        3/4 from GL_RGB/GL_RGBA bytes), glPixelStorei
//                        (GL_UNPACK_ALIGNMENT 1, 2, 4, 8)
//   glCopyTexImage2D     level 0, GL_RGB/GL_RGBA, from the frame buffer drawn so
//                        far (WebGL has no read buffer: glReadBuffer(GL_BACK) is
//                        accepted and changes nothing); texels outside the
//                        frame buffer come out black
//   glGetIntegerv        GL_MAX_TEXTURE_SIZE
//   glGetFloatv          GL_MODELVIEW_MATRIX, GL_PROJECTION_MATRIX, GL_POINT_SIZE,
//                        GL_POINT_SIZE_MIN_ARB, GL_POINT_SIZE_MAX_ARB
//   glGetString          GL_VENDOR, GL_RENDERER, GL_VERSION ("1.1"), GL_EXTENSIONS
//                        ("GL_ARB_point_parameters GL_ARB_point_sprite")
//   glGetError           the first error recorded since the last call
//   glPointSize, and through webgl::GetProcAddress glPointParameterfARB /
//   glPointParameterfvARB (GL_POINT_SIZE_MIN_ARB, GL_POINT_SIZE_MAX_ARB,
//                        GL_POINT_FADE_THRESHOLD_SIZE_ARB, GL_POINT_DISTANCE_ATTENUATION_ARB):
//                        size x sqrt(1 / (a + b d + c d^2)) with d the eye-space
//                        depth |z|, clamped to [min, max]; the fade threshold is
//                        kept but has no effect, as in GL without multisampling
//
// A texture that has no image, or whose minifying filter would need mipmaps,
// is incomplete: drawing with it draws untextured, as fixed-function GL does.
//
// Anything else: an enum outside these lists, a call between glBegin and glEnd
// that GL forbids there, a stack pushed past its depth or popped below its
// bottom, changes nothing and records the GL error (GL_INVALID_ENUM,
// GL_INVALID_VALUE, GL_INVALID_OPERATION, GL_STACK_OVERFLOW,
// GL_STACK_UNDERFLOW), which glGetError returns; the first time each entry
// point refuses something in a context, one line naming it and the value goes
// to standard error (the browser's console), so that a test of the page sees
// it. Entry
// points not declared here do not exist: code that calls one does not build.
//
// Conventions: matrices are column-major float[16], as in GL. The eye-space
// normal of sphere mapping is the modelview's upper 3 x 3 times the normal,
// which is GL's inverse transpose because no entry point here scales or
// shears. Main thread only, like the WebGL context.

#include <cstdint>

using GLenum = unsigned int;
using GLboolean = unsigned char;
using GLbitfield = unsigned int;
using GLint = int;
using GLuint = unsigned int;
using GLsizei = int;
using GLfloat = float;
using GLclampf = float;
using GLdouble = double;
using GLclampd = double;
using GLubyte = unsigned char;
using GLvoid = void;

#define APIENTRY
#define APIENTRYP APIENTRY *

#define GL_FALSE 0
#define GL_TRUE 1

// Errors
#define GL_NO_ERROR 0
#define GL_INVALID_ENUM 0x0500
#define GL_INVALID_VALUE 0x0501
#define GL_INVALID_OPERATION 0x0502
#define GL_STACK_OVERFLOW 0x0503
#define GL_STACK_UNDERFLOW 0x0504

// Primitives
#define GL_POINTS 0x0000
#define GL_LINE_STRIP 0x0003
#define GL_TRIANGLE_STRIP 0x0005
#define GL_QUADS 0x0007

// glClear
#define GL_DEPTH_BUFFER_BIT 0x00000100
#define GL_COLOR_BUFFER_BIT 0x00004000

// glEnable / glDisable
#define GL_LIGHTING 0x0B50
#define GL_DEPTH_TEST 0x0B71
#define GL_BLEND 0x0BE2
#define GL_TEXTURE_GEN_S 0x0C60
#define GL_TEXTURE_GEN_T 0x0C61
#define GL_TEXTURE_2D 0x0DE1
#define GL_POINT_SPRITE_ARB 0x8861

// Matrices
#define GL_MODELVIEW 0x1700
#define GL_PROJECTION 0x1701
#define GL_MODELVIEW_MATRIX 0x0BA6
#define GL_PROJECTION_MATRIX 0x0BA7

// Depth comparisons
#define GL_NEVER 0x0200
#define GL_LESS 0x0201
#define GL_EQUAL 0x0202
#define GL_LEQUAL 0x0203
#define GL_GREATER 0x0204
#define GL_NOTEQUAL 0x0205
#define GL_GEQUAL 0x0206
#define GL_ALWAYS 0x0207

// Blend factors
#define GL_ZERO 0
#define GL_ONE 1
#define GL_SRC_COLOR 0x0300
#define GL_ONE_MINUS_SRC_COLOR 0x0301
#define GL_SRC_ALPHA 0x0302
#define GL_ONE_MINUS_SRC_ALPHA 0x0303
#define GL_DST_ALPHA 0x0304
#define GL_ONE_MINUS_DST_ALPHA 0x0305
#define GL_DST_COLOR 0x0306
#define GL_ONE_MINUS_DST_COLOR 0x0307

// Shading and hints
#define GL_FLAT 0x1D00
#define GL_SMOOTH 0x1D01
#define GL_PERSPECTIVE_CORRECTION_HINT 0x0C50
#define GL_DONT_CARE 0x1100
#define GL_FASTEST 0x1101
#define GL_NICEST 0x1102

// Texture coordinate generation and environment
#define GL_S 0x2000
#define GL_T 0x2001
#define GL_TEXTURE_GEN_MODE 0x2500
#define GL_SPHERE_MAP 0x2402
#define GL_TEXTURE_ENV 0x2300
#define GL_TEXTURE_ENV_MODE 0x2200
#define GL_MODULATE 0x2100
#define GL_COORD_REPLACE_ARB 0x8862

// Textures
#define GL_TEXTURE_MAG_FILTER 0x2800
#define GL_TEXTURE_MIN_FILTER 0x2801
#define GL_TEXTURE_WRAP_S 0x2802
#define GL_TEXTURE_WRAP_T 0x2803
#define GL_NEAREST 0x2600
#define GL_LINEAR 0x2601
#define GL_REPEAT 0x2901
#define GL_CLAMP_TO_EDGE 0x812F
#define GL_RGB 0x1907
#define GL_RGBA 0x1908
#define GL_RGB8 0x8051
#define GL_RGBA8 0x8058
#define GL_UNSIGNED_BYTE 0x1401
#define GL_UNPACK_ALIGNMENT 0x0CF5
#define GL_BACK 0x0405

// Queries
#define GL_POINT_SIZE 0x0B11
#define GL_MAX_TEXTURE_SIZE 0x0D33
#define GL_VENDOR 0x1F00
#define GL_RENDERER 0x1F01
#define GL_VERSION 0x1F02
#define GL_EXTENSIONS 0x1F03

// GL_ARB_point_parameters
#define GL_POINT_SIZE_MIN_ARB 0x8126
#define GL_POINT_SIZE_MAX_ARB 0x8127
#define GL_POINT_FADE_THRESHOLD_SIZE_ARB 0x8128
#define GL_POINT_DISTANCE_ATTENUATION_ARB 0x8129
typedef void(APIENTRYP PFNGLPOINTPARAMETERFARBPROC)(GLenum pname, GLfloat param);
typedef void(APIENTRYP PFNGLPOINTPARAMETERFVARBPROC)(GLenum pname, const GLfloat* params);

extern "C" {

void glBegin(GLenum mode);
void glEnd();
void glVertex2f(GLfloat x, GLfloat y);
void glVertex3f(GLfloat x, GLfloat y, GLfloat z);
void glTexCoord2f(GLfloat s, GLfloat t);
void glColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha);
void glNormal3f(GLfloat nx, GLfloat ny, GLfloat nz);

void glMatrixMode(GLenum mode);
void glLoadIdentity();
void glPushMatrix();
void glPopMatrix();
void glTranslatef(GLfloat x, GLfloat y, GLfloat z);
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z);
void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar);
void gluOrtho2D(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top);

void glEnable(GLenum capability);
void glDisable(GLenum capability);
void glTexGeni(GLenum coord, GLenum pname, GLint param);
void glTexEnvf(GLenum target, GLenum pname, GLfloat param);
void glBlendFunc(GLenum sfactor, GLenum dfactor);
void glDepthFunc(GLenum func);
void glShadeModel(GLenum mode);
void glHint(GLenum target, GLenum mode);
void glPointSize(GLfloat size);

void glClear(GLbitfield mask);
void glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha);
void glClearDepth(GLclampd depth);
void glViewport(GLint x, GLint y, GLsizei width, GLsizei height);

void glGenTextures(GLsizei n, GLuint* textures);
void glDeleteTextures(GLsizei n, const GLuint* textures);
void glBindTexture(GLenum target, GLuint texture);
void glTexParameteri(GLenum target, GLenum pname, GLint param);
void glTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height, GLint border,
                  GLenum format, GLenum type, const GLvoid* pixels);
void glPixelStorei(GLenum pname, GLint param);
void glReadBuffer(GLenum mode);
void glCopyTexImage2D(GLenum target, GLint level, GLenum internalformat, GLint x, GLint y, GLsizei width,
                      GLsizei height, GLint border);

void glGetIntegerv(GLenum pname, GLint* params);
void glGetFloatv(GLenum pname, GLfloat* params);
const GLubyte* glGetString(GLenum name);
GLenum glGetError();

}  // extern "C"

namespace webgl {

// Makes an opaque WebGL 2 context (no alpha, a depth buffer, no
// antialiasing) on the canvas the CSS selector names, with the layer's
// shader program, and resets every GL state to GL's initial values. False
// when the canvas is missing, WebGL 2 is not available or the program does
// not build (the reason goes to standard error).
bool CreateContext(const char* canvasSelector);

// Draws what is pending; the frame is then complete for the browser to show.
void Present();

// Lets go of the context and every texture. Safe without a context.
void DestroyContext();

// True between CreateContext and DestroyContext.
bool HasContext();

// The layer's extension entry points by name (glPointParameterfARB,
// glPointParameterfvARB); nullptr for any other name.
void* GetProcAddress(const char* name);

}  // namespace webgl
