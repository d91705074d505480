// glimshape — libquarl
// Purpose: the image I/O plug-in manager, ImagePointer conversions and readImage/writeImage.
#include "quarl/imageio.h"

#include <dirent.h>
#include <dlfcn.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "quarl/plugins/builtin_plugins.h"

#ifndef QUARL_PLUGIN_DIR
#define QUARL_PLUGIN_DIR "/usr/local/lib/quarl"
#endif

namespace vorn {

// ---- ImagePointer ------------------------------------------------------------------

namespace {

template <class A, class B>
void assignImage(Image<A>& to, const Image<B>& from) {
  to = from;
}

}  // namespace

template <class U>
void ImagePointer::assign(Image<U>& src) {
  switch (type) {
    case UnsignedChar: assignImage(*static_cast<Image<unsigned char>*>(ptr), src); return;
    case UnsignedShort: assignImage(*static_cast<Image<unsigned short>*>(ptr), src); return;
    case UnsignedInt: assignImage(*static_cast<Image<unsigned int>*>(ptr), src); return;
    case Float: assignImage(*static_cast<Image<float>*>(ptr), src); return;
    case Double: assignImage(*static_cast<Image<double>*>(ptr), src); return;
    default: throw "ImagePointerCastError";
  }
}

template <class U>
void ImagePointer::copyInto(Image<U>& dst) {
  switch (type) {
    case UnsignedChar: assignImage(dst, *static_cast<Image<unsigned char>*>(ptr)); return;
    case UnsignedShort: assignImage(dst, *static_cast<Image<unsigned short>*>(ptr)); return;
    case UnsignedInt: assignImage(dst, *static_cast<Image<unsigned int>*>(ptr)); return;
    case Float: assignImage(dst, *static_cast<Image<float>*>(ptr)); return;
    case Double: assignImage(dst, *static_cast<Image<double>*>(ptr)); return;
    default: throw "ImagePointerCastError";
  }
}

template void ImagePointer::assign(Image<unsigned char>&);
template void ImagePointer::assign(Image<unsigned short>&);
template void ImagePointer::assign(Image<unsigned int>&);
template void ImagePointer::assign(Image<float>&);
template void ImagePointer::assign(Image<double>&);
template void ImagePointer::copyInto(Image<unsigned char>&);
template void ImagePointer::copyInto(Image<unsigned short>&);
template void ImagePointer::copyInto(Image<unsigned int>&);
template void ImagePointer::copyInto(Image<float>&);
template void ImagePointer::copyInto(Image<double>&);

// ---- Plug-in records ---------------------------------------------------------------

namespace {

std::string joinExtensions(const std::vector<std::string>& extensions) {
  std::string s;
  for (size_t i = 0; i < extensions.size(); ++i) {
    if (i) s += ",";
    s += extensions[i];
  }
  return s;
}

bool hasExtension(const std::vector<std::string>& extensions, const std::string& ext) {
  for (const std::string& e : extensions)
    if (e == ext) return true;
  return false;
}

}  // namespace

ImageIOPluginManager::io_read_plugin_t::io_read_plugin_t(void* lib, std::string name,
                                                         std::vector<std::string> extensions,
                                                         PluginImageFunc func)
    : lib(lib), name(std::move(name)), extensions(std::move(extensions)), func(func) {}

ImageIOPluginManager::io_read_plugin_t::~io_read_plugin_t() {
  if (lib) dlclose(lib);
}

bool ImageIOPluginManager::io_read_plugin_t::can_load(const std::string& ext) const {
  return hasExtension(extensions, ext);
}

std::string ImageIOPluginManager::io_read_plugin_t::extensionString() const {
  return joinExtensions(extensions);
}

ImageIOPluginManager::io_write_plugin_t::io_write_plugin_t(void* lib, std::string name,
                                                           std::vector<std::string> extensions,
                                                           PluginImageFunc func)
    : lib(lib), name(std::move(name)), extensions(std::move(extensions)), func(func) {}

ImageIOPluginManager::io_write_plugin_t::~io_write_plugin_t() {
  if (lib) dlclose(lib);
}

bool ImageIOPluginManager::io_write_plugin_t::can_save(const std::string& ext) const {
  return hasExtension(extensions, ext);
}

std::string ImageIOPluginManager::io_write_plugin_t::extensionString() const {
  return joinExtensions(extensions);
}

// ---- Manager -----------------------------------------------------------------------

ImageIOPluginManager::ImageIOPluginManager() : useDefaultDirectory(true) {}

ImageIOPluginManager::ImageIOPluginManager(std::vector<std::string> dirs)
    : useDefaultDirectory(false), directories(std::move(dirs)) {}

ImageIOPluginManager::~ImageIOPluginManager() {
  for (io_read_plugin_t* p : readPlugins) delete p;
  for (io_write_plugin_t* p : writePlugins) delete p;
  readPlugins.clear();
  writePlugins.clear();
  loaded.store(false);
}

std::string ImageIOPluginManager::debugInfo() const {
  std::lock_guard<std::mutex> lock(mutex);
  return log.str();
}

std::vector<std::string> ImageIOPluginManager::getPluginDirectories() const {
  std::lock_guard<std::mutex> lock(mutex);
  return directories;
}

void ImageIOPluginManager::loadImagePlugins() {
  if (loaded.load(std::memory_order_acquire)) return;
  {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      if (loaded.load(std::memory_order_relaxed)) return;
      if (!loading) break;
      // A plug-in being loaded reads or writes an image: it goes on with what is loaded.
      if (loader == std::this_thread::get_id()) return;
      loadDone.wait(lock);
    }
    loading = true;
    loader = std::this_thread::get_id();
  }
  // Whatever happens, loading is over afterwards (a failed load is not repeated, which
  // would add the built-ins twice) and the waiting threads go on.
  struct Finish {
    ImageIOPluginManager& manager;
    ~Finish() {
      {
        std::lock_guard<std::mutex> lock(manager.mutex);
        manager.loading = false;
        manager.loader = std::thread::id();
        manager.loaded.store(true, std::memory_order_release);
      }
      manager.loadDone.notify_all();
    }
  } finish{*this};
  loadAll();
}

// The lock is held only to change the lists and the log, never while plug-in code runs
// (dlopen runs the library's constructors, dlclose its destructors, and the queries are
// the plug-in's own functions): a plug-in that reads an image from there would otherwise
// wait for the lock its own loading holds.
void ImageIOPluginManager::loadAll() {
  std::vector<std::string> dirs;
  locked([&] {
    if (useDefaultDirectory) {
      // The environment lets a program run against plug-ins that are not installed yet.
      const char* env = std::getenv("QUARL_PLUGIN_DIR");
      directories.assign(1, env && *env ? std::string(env) : std::string(QUARL_PLUGIN_DIR));
    }
    dirs = directories;

    readPlugins.push_back(new io_read_plugin_t(nullptr, jpeg_readPluginGetName(),
                                               extensionVector(jpeg_readExtensions()),
                                               jpeg_readImage));
    writePlugins.push_back(new io_write_plugin_t(nullptr, jpeg_writePluginGetName(),
                                                 extensionVector(jpeg_writeExtensions()),
                                                 jpeg_writeImage));
    readPlugins.push_back(new io_read_plugin_t(nullptr, png_readPluginGetName(),
                                               extensionVector(png_readExtensions()),
                                               png_readImage));
    writePlugins.push_back(new io_write_plugin_t(nullptr, png_writePluginGetName(),
                                                 extensionVector(png_writeExtensions()),
                                                 png_writeImage));
    log << "static plugins read: " << readPlugins.size() << " write: " << writePlugins.size()
        << "\n";
  });

  for (const std::string& dir : dirs) loadDirectory(dir);

  locked([&] {
    log << "done loading\n";
    log << "have " << readPlugins.size() << " read plugs\n";
    for (const io_read_plugin_t* p : readPlugins)
      log << "\tname: " << p->name << " (" << p->extensionString() << ")\n";
    log << "have " << writePlugins.size() << " write plugs\n";
    for (const io_write_plugin_t* p : writePlugins)
      log << "\tname: " << p->name << " (" << p->extensionString() << ")\n";
  });
}

namespace {

// A plug-in library's file name contains "lib", and the first ".so" or the first ".dll"
// ends it (so versioned names such as libfoo.so.1 are passed over).
bool isPluginFileName(const char* name) {
  if (!std::strstr(name, "lib")) return false;
  size_t len = std::strlen(name);
  for (const char* suffix : {".so", ".dll"}) {
    const char* at = std::strstr(name, suffix);
    if (at && size_t(at - name) + std::strlen(suffix) == len) return true;
  }
  return false;
}

template <class F>
F lookUp(void* lib, const char* symbol) {
  return reinterpret_cast<F>(dlsym(lib, symbol));
}

// Calls a plug-in's name or extension function; a plug-in that throws here is treated
// like one without the symbol, so nothing unwinds past this library.
template <class R>
bool callQuery(R (*f)(), R& out) noexcept {
  try {
    out = f();
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

void ImageIOPluginManager::loadDirectory(const std::string& dir) {
  locked([&] { log << "imageio path: " << dir << "\n"; });
  DIR* d = opendir(dir.c_str());
  if (!d) return;
  std::vector<std::string> entries;
  while (dirent* e = readdir(d)) entries.push_back(e->d_name);
  closedir(d);

  for (const std::string& entry : entries) {
    if (!isPluginFileName(entry.c_str())) continue;
    char path[2048];
    int n = std::snprintf(path, sizeof path, "%s/%s", dir.c_str(), entry.c_str());
    if (n < 0 || size_t(n) >= sizeof path) {
      quarlError("plug-in path too long: %s/%s\n", dir.c_str(), entry.c_str());
      locked([&] { log << "not loaded: " << dir << "/" << entry << ": path too long\n"; });
      continue;
    }

    void* lib = dlopen(path, RTLD_NOW);
    if (!lib) {
      const char* err = dlerror();
      quarlError("error opening: %s\n", err ? err : path);
      const std::string why = err ? err : "dlopen failed";
      locked([&] { log << "not loaded: " << path << ": " << why << "\n"; });
      continue;
    }

    auto rname = lookUp<PluginNameFunc>(lib, "readPluginGetName");
    auto rext = lookUp<PluginExtensionsFunc>(lib, "readExtensions");
    auto rfunc = lookUp<PluginImageFunc>(lib, "readImage");
    auto rapi = lookUp<PluginVersionFunc>(lib, "read_api_version");
    auto rver = lookUp<PluginVersionFunc>(lib, "read_plugin_version");
    const char* name = nullptr;
    const char* api = nullptr;
    const char* ver = nullptr;
    if (rname && rapi && rver && callQuery(rname, name) && callQuery(rapi, api) &&
        callQuery(rver, ver) && name && api && ver)
      std::printf("%s uses api_version:%s plugin_version:%s\n", name, api, ver);
    const char** exts = nullptr;
    if (rname && rext && rfunc && callQuery(rname, name) && name && callQuery(rext, exts)) {
      auto* record = new io_read_plugin_t(lib, name, extensionVector(exts), rfunc);
      locked([&] { readPlugins.push_back(record); });
    } else {
      dlclose(lib);
      locked([&] { log << "no reader in " << path << "\n"; });
    }

    // Each role keeps its own handle, so either record can be destroyed alone.
    lib = dlopen(path, RTLD_NOW);
    if (!lib) {
      const char* err = dlerror();
      quarlError("error opening: %s\n", err ? err : path);
      continue;
    }
    auto wname = lookUp<PluginNameFunc>(lib, "writePluginGetName");
    auto wext = lookUp<PluginExtensionsFunc>(lib, "writeExtensions");
    auto wfunc = lookUp<PluginImageFunc>(lib, "writeImage");
    name = nullptr;
    exts = nullptr;
    if (wname && wext && wfunc && callQuery(wname, name) && name && callQuery(wext, exts)) {
      auto* record = new io_write_plugin_t(lib, name, extensionVector(exts), wfunc);
      locked([&] { writePlugins.push_back(record); });
    } else {
      dlclose(lib);
      locked([&] { log << "no writer in " << path << "\n"; });
    }
  }
}

namespace {

// The extension of a name whose options are already stripped; false without a dot.
bool extensionOf(const std::string& stripped, std::string& ext) {
  size_t dot = stripped.rfind('.');
  if (dot == std::string::npos) return false;
  ext = stripped.substr(dot + 1);
  return true;
}

// Loaded plug-ins are foreign code: whatever they throw stops here. The built-ins are
// part of this library and let a text exception reach the caller.
template <class Plugin>
bool runPlugin(const Plugin& p, const char* name, ImagePointer& image) {
  if (!p.lib) return p.func(name, image);
  try {
    return p.func(name, image);
  } catch (...) {
    quarlError("plug-in %s threw an exception on %s\n", p.name.c_str(), name);
    return false;
  }
}

}  // namespace

bool ImageIOPluginManager::readImage(const char* name, ImagePointer& target) {
  if (!name) return false;
  std::string ext;
  if (!extensionOf(stripOptions(name), ext)) return false;
  loadImagePlugins();
  for (const io_read_plugin_t* p : readPlugins)
    if (p->can_load(ext)) return runPlugin(*p, name, target);
  return false;
}

bool ImageIOPluginManager::writeImage(const char* name, ImagePointer& source) {
  if (!name) return false;
  std::string ext;
  if (!extensionOf(stripOptions(name), ext)) return false;
  loadImagePlugins();
  for (const io_write_plugin_t* p : writePlugins)
    if (p->can_save(ext)) return runPlugin(*p, name, source);
  return false;
}

ImageIOPluginManager ioPlugManager;

// ---- Free functions ----------------------------------------------------------------

template <class T>
bool readImage(const char* name, Image<T>& image) {
  ImagePointer target(image);
  return ioPlugManager.readImage(name, target);
}

template <class T>
bool writeImage(const char* name, Image<T>& image) {
  ImagePointer source(image);
  return ioPlugManager.writeImage(name, source);
}

template bool readImage(const char*, Image<unsigned char>&);
template bool readImage(const char*, Image<unsigned short>&);
template bool readImage(const char*, Image<unsigned int>&);
template bool readImage(const char*, Image<float>&);
template bool readImage(const char*, Image<double>&);
template bool writeImage(const char*, Image<unsigned char>&);
template bool writeImage(const char*, Image<unsigned short>&);
template bool writeImage(const char*, Image<unsigned int>&);
template bool writeImage(const char*, Image<float>&);
template bool writeImage(const char*, Image<double>&);

std::string stripOptions(const char* name) {
  std::string s(name ? name : "");
  size_t q = s.rfind('?');
  return q == std::string::npos ? s : s.substr(0, q);
}

std::map<std::string, std::string> getOptions(const char* name) {
  std::map<std::string, std::string> options;
  std::string s(name ? name : "");
  size_t q = s.rfind('?');
  if (q == std::string::npos) return options;
  std::string text = s.substr(q + 1);
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(':', start);
    if (end == std::string::npos) end = text.size();
    std::string entry = text.substr(start, end - start);
    size_t eq = entry.find('=');
    if (eq == std::string::npos)
      options[entry] = "";
    else
      options[entry.substr(0, eq)] = entry.substr(eq + 1);
    start = end + 1;
  }
  return options;
}

std::vector<std::string> extensionVector(const char** list) {
  std::vector<std::string> v;
  for (; list && *list; ++list) v.emplace_back(*list);
  return v;
}

std::string imageIOPluginDebugInfo() { return ioPlugManager.debugInfo(); }

void loadImagePlugins() {}

void quarlError(const char* fmt, ...) {
  static const bool enabled = std::getenv("QUARL_LOG_ERRORS") != nullptr;
  if (!enabled) return;
  va_list args;
  va_start(args, fmt);
  std::vfprintf(stderr, fmt, args);
  va_end(args);
}

}  // namespace vorn
