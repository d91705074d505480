// glimshape — tests/svg
// Purpose: replacing a file's contents: permissions, owner, links, pipes and folders, long
// names, read-only files and folders and failed writes, each judged by what the target was.
#include "svg/filereplace.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const fs::path& path, const std::string& text, mode_t mode = 0644) {
  std::ofstream(path, std::ios::binary) << text;
  ::chmod(path.c_str(), mode);
}

struct stat statOf(const fs::path& path) {
  struct stat info {};
  ::lstat(path.c_str(), &info);
  return info;
}

std::set<std::string> namesIn(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
  return names;
}

// Runs `body` in a child process with files limited to `maxBytes`, as an ordinary user when
// this is the superuser (whom no permission stops); true when it returned true.
bool inChild(const std::function<bool()>& body, rlim_t maxBytes = RLIM_INFINITY) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG instead
    const rlimit limit{maxBytes, maxBytes};
    const bool ready = ::setrlimit(RLIMIT_FSIZE, &limit) == 0 &&
                       (::geteuid() != 0 || (::setgid(65534) == 0 && ::setuid(65534) == 0));
    ::_exit(ready && body() ? 0 : 1);
  }
  int status = 0;
  return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

}  // namespace

TEST(FileReplace, KeepsWhatTheTargetIs) {
  const fs::path dir = fs::path(testing::TempDir()) / "filereplace";
  fs::remove_all(dir);
  fs::create_directories(dir / "real");
  fs::permissions(dir, fs::perms::all);
  std::string reason;
  auto replace = [&reason](const fs::path& path, const std::string& text) {
    return replaceFileContents(path.string(), text, reason);
  };

  // A new file gets the permissions the umask leaves; an existing one keeps its own.
  const mode_t umask = ::umask(022);
  ::umask(umask);
  ASSERT_TRUE(replace(dir / "new.svg", "new")) << reason;
  EXPECT_EQ(statOf(dir / "new.svg").st_mode & 07777, 0666 & ~umask);
  writeFile(dir / "private.svg", "old", 0640);
  ASSERT_TRUE(replace(dir / "private.svg", "secret")) << reason;
  EXPECT_EQ(statOf(dir / "private.svg").st_mode & 07777, 0640u);
  EXPECT_EQ(readFile(dir / "private.svg"), "secret");
  if (::geteuid() == 0) {  // only the superuser can give a file away
    ASSERT_EQ(::chown((dir / "private.svg").c_str(), 12345, 23456), 0);
    ASSERT_TRUE(replace(dir / "private.svg", "still theirs")) << reason;
    EXPECT_EQ(statOf(dir / "private.svg").st_uid, 12345u);
    EXPECT_EQ(statOf(dir / "private.svg").st_gid, 23456u);
  }
  // The longest legal name (255 bytes) leaves no room for a temporary name built on it.
  const fs::path longName = dir / (std::string(251, 'n') + ".svg");
  writeFile(longName, "old");
  ASSERT_TRUE(replace(longName, "long")) << reason;
  EXPECT_EQ(readFile(longName), "long");

  // A link stays a link, and the file it names (in another folder) is replaced; a dangling
  // link creates the file it names.
  writeFile(dir / "real/target.svg", "old");
  fs::create_symlink("real/target.svg", dir / "link.svg");
  ASSERT_TRUE(replace(dir / "link.svg", "through the link")) << reason;
  EXPECT_TRUE(fs::is_symlink(dir / "link.svg"));
  EXPECT_EQ(readFile(dir / "real/target.svg"), "through the link");
  fs::create_symlink(dir / "real/missing.svg", dir / "dangling.svg");
  ASSERT_TRUE(replace(dir / "dangling.svg", "made")) << reason;
  EXPECT_EQ(readFile(dir / "real/missing.svg"), "made");
  // Hard links go on sharing the content.
  writeFile(dir / "a.svg", "old");
  fs::create_hard_link(dir / "a.svg", dir / "b.svg");
  ASSERT_TRUE(replace(dir / "a.svg", "shared")) << reason;
  EXPECT_EQ(readFile(dir / "b.svg"), "shared");

  // A pipe (a writer would wait for its reader) and a folder are refused, and stay.
  ASSERT_EQ(::mkfifo((dir / "pipe.svg").c_str(), 0666), 0);
  EXPECT_FALSE(replace(dir / "pipe.svg", "x"));
  EXPECT_EQ(reason, "it is a named pipe, not a regular file");
  EXPECT_TRUE(fs::is_fifo(dir / "pipe.svg"));
  EXPECT_FALSE(replace(dir / "real", "x"));
  EXPECT_EQ(reason, "it is a directory, not a regular file");

  // A writable file in a folder the user may not write to is written in place; a file the
  // user may not write is refused in any folder.
  fs::create_directory(dir / "readonly");
  writeFile(dir / "readonly/open.svg", "old", 0666);
  fs::permissions(dir / "readonly", fs::perms::owner_read | fs::perms::owner_exec |
                                        fs::perms::others_read | fs::perms::others_exec);
  EXPECT_TRUE(inChild([&] {
    return replace(dir / "readonly/open.svg", "in place") && replace(dir / "mine.svg", "mine") &&
           ::chmod((dir / "mine.svg").c_str(), 0444) == 0 && !replace(dir / "mine.svg", "x") &&
           reason == "Permission denied";
  }));
  EXPECT_EQ(readFile(dir / "readonly/open.svg"), "in place");
  EXPECT_EQ(readFile(dir / "mine.svg"), "mine");
  fs::permissions(dir / "readonly", fs::perms::all);

  // A write that fails (here the file size limit) leaves an ordinary file as it was and
  // says why; in place it may have damaged the file, and says so.
  const std::string big(4096, 'x');
  EXPECT_TRUE(inChild(
      [&] {
        return replace(dir / "kept.svg", "old") && !replace(dir / "kept.svg", big) &&
               reason == "File too large";
      },
      100));
  EXPECT_EQ(readFile(dir / "kept.svg"), "old");
  ::chmod((dir / "a.svg").c_str(), 0666);
  EXPECT_TRUE(inChild(
      [&] {
        return !replace(dir / "a.svg", big) &&
               reason == "File too large; the file may be damaged";
      },
      100));

  // No temporary file is left behind.
  EXPECT_EQ(namesIn(dir), (std::set<std::string>{"new.svg", "private.svg", longName.filename(),
                                                 "link.svg", "dangling.svg", "a.svg", "b.svg",
                                                 "pipe.svg", "real", "readonly", "kept.svg",
                                                 "mine.svg"}));
  EXPECT_EQ(namesIn(dir / "real"), (std::set<std::string>{"target.svg", "missing.svg"}));
  fs::remove_all(dir);
}
