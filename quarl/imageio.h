// glimshape — libquarl
// Purpose: the image I/O plug-in manager and readImage/writeImage, through which every file
// format beyond TGA, PPM/PGM and RFI is read and written.
//
// Plug-ins are consulted in the order: built-in JPEG, built-in PNG, then the libraries of
// the plug-in directory in directory-listing order. The first plug-in whose extension list
// holds the name's extension (text after the last ".", options stripped, case-sensitive)
// does the work. Loading happens once, on the first read or write that reaches a plug-in.
#ifndef QUARL_IMAGEIO_H
#define QUARL_IMAGEIO_H

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "quarl/image.h"
#include "quarl/imageplugin.h"

namespace vorn {

/// @brief Finds and runs the image I/O plug-ins. The library uses the one object
/// `ioPlugManager`; tests may build their own over other directories.
class ImageIOPluginManager {
 public:
  /// @brief A reader: name, extensions (without dot) and function; `lib` is the library
  /// handle it came from, null for a built-in. Destroying it closes `lib`.
  struct io_read_plugin_t {
    io_read_plugin_t(void* lib, std::string name, std::vector<std::string> extensions,
                     PluginImageFunc func);
    ~io_read_plugin_t();
    io_read_plugin_t(const io_read_plugin_t&) = delete;
    io_read_plugin_t& operator=(const io_read_plugin_t&) = delete;
    /// True when `extensions` holds ext exactly.
    bool can_load(const std::string& ext) const;
    /// The extensions joined with ",".
    std::string extensionString() const;

    void* lib;
    std::string name;
    std::vector<std::string> extensions;
    PluginImageFunc func;
  };

  /// @brief A writer; as `io_read_plugin_t`.
  struct io_write_plugin_t {
    io_write_plugin_t(void* lib, std::string name, std::vector<std::string> extensions,
                      PluginImageFunc func);
    ~io_write_plugin_t();
    io_write_plugin_t(const io_write_plugin_t&) = delete;
    io_write_plugin_t& operator=(const io_write_plugin_t&) = delete;
    bool can_save(const std::string& ext) const;
    std::string extensionString() const;

    void* lib;
    std::string name;
    std::vector<std::string> extensions;
    PluginImageFunc func;
  };

  /// @brief A manager that searches the library's plug-in directory: the environment
  /// variable "QUARL_PLUGIN_DIR" when it is set at load time, else the directory fixed
  /// when the library was built.
  ImageIOPluginManager();
  /// @brief A manager that searches exactly the given directories (used by tests).
  explicit ImageIOPluginManager(std::vector<std::string> directories);
  ~ImageIOPluginManager();
  ImageIOPluginManager(const ImageIOPluginManager&) = delete;
  ImageIOPluginManager& operator=(const ImageIOPluginManager&) = delete;

  /// @brief Reads the file through the first reader claiming its extension.
  /// @param name file name, optionally followed by "?options"; passed unstripped to the plug-in.
  /// @return the plug-in's result; false when no plug-in claims the extension.
  bool readImage(const char* name, ImagePointer& target);
  /// @brief Writes the image through the first writer claiming the name's extension.
  bool writeImage(const char* name, ImagePointer& source);

  /// @brief Loads the built-in plug-ins and the plug-in libraries, once; later calls do
  /// nothing. Safe to call from several threads: one loads, the others wait for it.
  ///
  /// Plug-in code (library constructors and destructors, name, version and extension
  /// queries) runs outside the manager's lock, so a plug-in may read or write images from
  /// there; such a call made while loading sees the plug-ins loaded before it.
  void loadImagePlugins();
  bool isLoaded() const { return loaded.load(std::memory_order_acquire); }

  /// A copy of the loading log (empty before loading).
  std::string debugInfo() const;
  /// The directories searched for plug-in libraries once loaded (empty before loading).
  std::vector<std::string> getPluginDirectories() const;

  std::vector<io_read_plugin_t*> readPlugins;
  std::vector<io_write_plugin_t*> writePlugins;

 private:
  void loadAll();
  void loadDirectory(const std::string& dir);
  // Runs f with the lock held (for the log and the plug-in lists).
  template <class F>
  void locked(F&& f) {
    std::lock_guard<std::mutex> lock(mutex);
    f();
  }

  std::ostringstream log;
  std::atomic<bool> loaded{false};
  bool useDefaultDirectory;
  std::vector<std::string> directories;
  mutable std::mutex mutex;
  // Set while one thread loads; the others wait on loadDone.
  bool loading = false;
  std::thread::id loader;
  std::condition_variable loadDone;
};

/// The library-wide manager, constructed when libquarl is loaded.
extern ImageIOPluginManager ioPlugManager;

/// @brief Reads name into image through the plug-ins (`ioPlugManager.readImage`).
/// @return false when no plug-in claims the extension or the plug-in fails.
template <class T>
bool readImage(const char* name, Image<T>& image);
/// @brief Writes image to name through the plug-ins (`ioPlugManager.writeImage`).
template <class T>
bool writeImage(const char* name, Image<T>& image);

extern template bool readImage(const char*, Image<unsigned char>&);
extern template bool readImage(const char*, Image<unsigned short>&);
extern template bool readImage(const char*, Image<unsigned int>&);
extern template bool readImage(const char*, Image<float>&);
extern template bool readImage(const char*, Image<double>&);
extern template bool writeImage(const char*, Image<unsigned char>&);
extern template bool writeImage(const char*, Image<unsigned short>&);
extern template bool writeImage(const char*, Image<unsigned int>&);
extern template bool writeImage(const char*, Image<float>&);
extern template bool writeImage(const char*, Image<double>&);

/// The name up to (not including) its last "?", or the whole name.
std::string stripOptions(const char* name);
/// @brief The options after the last "?": entries split at ":", "key=value" maps key to
/// the text after the first "=", a bare entry maps to "". Later keys replace earlier ones.
std::map<std::string, std::string> getOptions(const char* name);
/// The strings of a null-terminated array (a null array gives an empty vector).
std::vector<std::string> extensionVector(const char** list);
/// A copy of `ioPlugManager`'s loading log: empty before the first plug-in use.
std::string imageIOPluginDebugInfo();
/// Does nothing: plug-ins are loaded on first use.
void loadImagePlugins();
/// @brief printf-style message to standard error, only when the environment variable
/// "QUARL_LOG_ERRORS" was present at the first call (the decision holds for the process).
void quarlError(const char* fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace vorn

#endif
