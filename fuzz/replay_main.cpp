// glimshape — fuzz
// Purpose: runs a fuzz target's entry point on files, so kept inputs replay as ordinary tests
// in every build, without libFuzzer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "replay: cannot read %s\n", file.c_str());
    return false;
  }
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  return true;
}

}  // namespace

/// Arguments: files or directories (every regular file below a directory is replayed).
/// Exit status 0 when every file could be read and replayed without a crash.
int main(int argc, char** argv) {
  int replayed = 0;
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path arg(argv[i]);
    std::error_code ec;
    if (std::filesystem::is_directory(arg, ec)) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(arg))
        if (entry.is_regular_file()) {
          ok = replay(entry.path()) && ok;
          ++replayed;
        }
    } else {
      ok = replay(arg) && ok;
      ++replayed;
    }
  }
  std::fprintf(stderr, "replay: %d inputs\n", replayed);
  return ok ? 0 : 1;
}
