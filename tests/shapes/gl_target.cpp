// glimshape — tests
// Purpose: GLTarget over GLX and a frame-buffer object.
#define GL_GLEXT_PROTOTYPES 1
#include "gl_target.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glx.h>

#include "shapes/zazizevozubase.h"

struct GLTarget::Impl {
  int size = 0;
  bool ready = false;
  Display* display = nullptr;
  Window window = 0;
  Colormap colormap = 0;
  GLXContext context = nullptr;
  GLuint fbo = 0;
  GLuint buffers[2] = {0, 0};
};

GLTarget::GLTarget(int size) : impl(std::make_unique<Impl>()) {
  Impl& d = *impl;
  d.size = size;
  d.display = XOpenDisplay(nullptr);
  if (!d.display) return;
  const int attributes[] = {GLX_RENDER_TYPE, GLX_RGBA_BIT, GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT,
                            GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8,
                            GLX_STENCIL_SIZE, 8, None};
  int count = 0;
  GLXFBConfig* configs =
      glXChooseFBConfig(d.display, DefaultScreen(d.display), attributes, &count);
  if (!configs || count < 1) return;
  XVisualInfo* visual = glXGetVisualFromFBConfig(d.display, configs[0]);
  if (!visual) {
    XFree(configs);
    return;
  }
  XSetWindowAttributes wa{};
  d.colormap = XCreateColormap(d.display, RootWindow(d.display, visual->screen), visual->visual,
                               AllocNone);
  wa.colormap = d.colormap;
  d.window = XCreateWindow(d.display, RootWindow(d.display, visual->screen), 0, 0, 16, 16, 0,
                           visual->depth, InputOutput, visual->visual, CWColormap, &wa);
  d.context = glXCreateNewContext(d.display, configs[0], GLX_RGBA_TYPE, nullptr, True);
  XFree(visual);
  XFree(configs);
  if (!d.context || !glXMakeContextCurrent(d.display, d.window, d.window, d.context)) return;

  glGenFramebuffers(1, &d.fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, d.fbo);
  glGenRenderbuffers(2, d.buffers);
  glBindRenderbuffer(GL_RENDERBUFFER, d.buffers[0]);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, size, size);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, d.buffers[0]);
  glBindRenderbuffer(GL_RENDERBUFFER, d.buffers[1]);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, size, size);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                            d.buffers[1]);
  d.ready = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  glViewport(0, 0, size, size);
}

GLTarget::~GLTarget() {
  Impl& d = *impl;
  if (d.context && glXGetCurrentContext() == d.context) {
    ZazizEvozuBase::releaseGLResources();
    glDeleteFramebuffers(1, &d.fbo);
    glDeleteRenderbuffers(2, d.buffers);
    glXMakeContextCurrent(d.display, None, None, nullptr);
  }
  if (d.context) glXDestroyContext(d.display, d.context);
  if (d.window) XDestroyWindow(d.display, d.window);
  if (d.colormap) XFreeColormap(d.display, d.colormap);
  if (d.display) XCloseDisplay(d.display);
}

bool GLTarget::isReady() const { return impl->ready; }

void GLTarget::clear() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_BLEND);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_TEXTURE_2D);
  glClearColor(0, 0, 0, 1);
  glClearStencil(0);
  glClear(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

std::vector<unsigned char> GLTarget::read() const {
  const int n = impl->size;
  std::vector<unsigned char> rgb(static_cast<std::size_t>(n) * n * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, n, n, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  return rgb;
}
