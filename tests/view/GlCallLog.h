#ifndef TRESSMOOR_TESTS_VIEW_GLCALLLOG_H
#define TRESSMOOR_TESTS_VIEW_GLCALLLOG_H

#include <array>
#include <vector>

#include <FL/gl.h>

// What the program sends to GL, caught by link-time wrappers around the GL entry
// points it uses (the test program is linked with --wrap for each of them).
struct LoggedVertex {
    std::array<float, 3> position;
    std::array<float, 3> normal;
    std::array<float, 2> texCoord;
    bool hasTexCoord;  // glTexCoord2f given since the previous vertex
};

struct LoggedPrimitive {
    GLenum mode;
    bool texturing;        // GL_TEXTURE_2D enabled at glBegin
    GLint boundTexture;    // GL_TEXTURE_BINDING_2D at glBegin
    std::vector<LoggedVertex> vertices;
};

struct GlCallLog {
    bool recording = false;
    int calls = 0;  // every wrapped call while recording
    int matrixModeCalls = 0;
    int lineWidthCalls = 0;
    int textureEnables = 0;
    int textureDisables = 0;
    int textureBinds = 0;
    std::vector<LoggedPrimitive> primitives;

    void start();
    void stop() { recording = false; }
    int countPrimitives(GLenum mode) const;
};

extern GlCallLog glCallLog;

#endif
