#include "GlCallLog.h"

GlCallLog glCallLog;

void GlCallLog::start()
{
    *this = GlCallLog();
    recording = true;
}

int GlCallLog::countPrimitives(GLenum mode) const
{
    int count = 0;
    for (const LoggedPrimitive& primitive : primitives) {
        count += primitive.mode == mode ? 1 : 0;
    }
    return count;
}

namespace {

// Current normal and texture coordinate as the program last gave them.
std::array<float, 3> currentNormal = {0.0f, 0.0f, 1.0f};
std::array<float, 2> currentTexCoord = {0.0f, 0.0f};
bool texCoordSinceVertex = false;

bool noting()
{
    if (glCallLog.recording) {
        ++glCallLog.calls;
    }
    return glCallLog.recording;
}

void noteVertex(float x, float y, float z)
{
    if (noting() && !glCallLog.primitives.empty()) {
        glCallLog.primitives.back().vertices.push_back(
            {{x, y, z}, currentNormal, currentTexCoord, texCoordSinceVertex});
    }
    texCoordSinceVertex = false;
}

}  // namespace

extern "C" {

void __real_glBegin(GLenum mode);
void __real_glEnd();
void __real_glVertex3f(GLfloat x, GLfloat y, GLfloat z);
void __real_glVertex3d(GLdouble x, GLdouble y, GLdouble z);
void __real_glNormal3f(GLfloat x, GLfloat y, GLfloat z);
void __real_glTexCoord2f(GLfloat s, GLfloat t);
void __real_glColor3f(GLfloat r, GLfloat g, GLfloat b);
void __real_glLineWidth(GLfloat width);
void __real_glEnable(GLenum cap);
void __real_glDisable(GLenum cap);
void __real_glBindTexture(GLenum target, GLuint name);
void __real_glMatrixMode(GLenum mode);

void __wrap_glBegin(GLenum mode)
{
    if (noting()) {
        LoggedPrimitive primitive;
        primitive.mode = mode;
        primitive.texturing = glIsEnabled(GL_TEXTURE_2D) == GL_TRUE;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &primitive.boundTexture);
        glCallLog.primitives.push_back(primitive);
        texCoordSinceVertex = false;
    }
    __real_glBegin(mode);
}

void __wrap_glEnd()
{
    noting();
    __real_glEnd();
}

void __wrap_glVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    noteVertex(x, y, z);
    __real_glVertex3f(x, y, z);
}

void __wrap_glVertex3d(GLdouble x, GLdouble y, GLdouble z)
{
    noteVertex(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
    __real_glVertex3d(x, y, z);
}

void __wrap_glNormal3f(GLfloat x, GLfloat y, GLfloat z)
{
    noting();
    currentNormal = {x, y, z};
    __real_glNormal3f(x, y, z);
}

void __wrap_glTexCoord2f(GLfloat s, GLfloat t)
{
    noting();
    currentTexCoord = {s, t};
    texCoordSinceVertex = true;
    __real_glTexCoord2f(s, t);
}

void __wrap_glColor3f(GLfloat r, GLfloat g, GLfloat b)
{
    noting();
    __real_glColor3f(r, g, b);
}

void __wrap_glLineWidth(GLfloat width)
{
    if (noting()) {
        ++glCallLog.lineWidthCalls;
    }
    __real_glLineWidth(width);
}

void __wrap_glEnable(GLenum cap)
{
    if (noting() && cap == GL_TEXTURE_2D) {
        ++glCallLog.textureEnables;
    }
    __real_glEnable(cap);
}

void __wrap_glDisable(GLenum cap)
{
    if (noting() && cap == GL_TEXTURE_2D) {
        ++glCallLog.textureDisables;
    }
    __real_glDisable(cap);
}

void __wrap_glBindTexture(GLenum target, GLuint name)
{
    if (noting()) {
        ++glCallLog.textureBinds;
    }
    __real_glBindTexture(target, name);
}

void __wrap_glMatrixMode(GLenum mode)
{
    if (noting()) {
        ++glCallLog.matrixModeCalls;
    }
    __real_glMatrixMode(mode);
}

}  // extern "C"
