// Replacing files whole: the old file or the complete new one, never half of
// each; private files never go through a planted link.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "DatabaseFile.h"
#include "FileReplacement.h"
#include "TempDir.h"

namespace {

namespace fs = std::filesystem;

std::vector<unsigned char> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  ::lstat(path.c_str(), &st);
  return st.st_mode & 07777;
}

// Files in dir other than those named.
std::vector<std::string> Leftovers(const TempDir& dir, const std::vector<std::string>& known) {
  std::vector<std::string> others;
  for (const auto& entry : fs::directory_iterator(dir.Path())) {
    const std::string name = entry.path().filename().string();
    if (std::find(known.begin(), known.end(), name) == known.end()) others.push_back(name);
  }
  return others;
}

bool WriteText(FileReplacement& replacement, const std::string& text) {
  return ::write(replacement.Descriptor(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

TEST(FileReplacement, CommitPutsTheNewFileInPlaceWithTheTargetsMode) {
  TempDir dir;
  const std::string target = dir.File("a.db");
  WriteBytes(target, Bytes("old"));
  ::chmod(target.c_str(), 0640);
  FileReplacement replacement;
  ASSERT_TRUE(replacement.Begin(target));
  EXPECT_EQ(ModeOf(replacement.TemporaryPath()), 0600u);
  ASSERT_TRUE(WriteText(replacement, "new contents"));
  EXPECT_EQ(ReadBytes(target), Bytes("old"));  // untouched until the commit
  ASSERT_TRUE(replacement.Commit());
  EXPECT_EQ(ReadBytes(target), Bytes("new contents"));
  EXPECT_EQ(ModeOf(target), 0640u);
  EXPECT_TRUE(Leftovers(dir, {"a.db"}).empty());
}

TEST(FileReplacement, ReplaceFileWithPutsWholeContentsInPlace) {
  TempDir dir;
  const std::string target = dir.File("chart.png");
  ASSERT_TRUE(ReplaceFileWith(target, "first"));
  ASSERT_TRUE(ReplaceFileWith(target, "second"));
  EXPECT_EQ(ReadBytes(target), Bytes("second"));
  EXPECT_TRUE(Leftovers(dir, {"chart.png"}).empty());
  EXPECT_FALSE(ReplaceFileWith(dir.File("no-such-folder/x.png"), "x"));
}

TEST(FileReplacement, AnAbandonedReplacementLeavesTheTargetAndNoTrace) {
  TempDir dir;
  const std::string target = dir.File("a.db");
  WriteBytes(target, Bytes("old"));
  {
    FileReplacement replacement;
    ASSERT_TRUE(replacement.Begin(target));
    ASSERT_TRUE(WriteText(replacement, "half"));
  }
  EXPECT_EQ(ReadBytes(target), Bytes("old"));
  EXPECT_TRUE(Leftovers(dir, {"a.db"}).empty());

  // A target that did not exist is not made.
  FileReplacement replacement;
  ASSERT_TRUE(replacement.Begin(dir.File("new.db")));
  replacement.Abandon();
  EXPECT_FALSE(fs::exists(dir.File("new.db")));
  EXPECT_TRUE(Leftovers(dir, {"a.db"}).empty());
}

TEST(FileReplacement, TheUsersLinkKeepsPointingAtTheReplacedRealFile) {
  TempDir dir;
  fs::create_directory(dir.Path() / "real");
  const std::string real = dir.File("real/shop.db");
  WriteBytes(real, Bytes("old"));
  fs::create_symlink(real, dir.Path() / "shop.db");
  FileReplacement replacement;
  ASSERT_TRUE(replacement.Begin(dir.File("shop.db"), {.keepBackup = true}));
  EXPECT_EQ(replacement.Target(), fs::canonical(real).string());
  ASSERT_TRUE(WriteText(replacement, "new"));
  ASSERT_TRUE(replacement.Commit());
  EXPECT_TRUE(fs::is_symlink(dir.Path() / "shop.db"));
  EXPECT_EQ(ReadBytes(dir.File("shop.db")), Bytes("new"));
  EXPECT_EQ(ReadBytes(real + ".bak"), Bytes("old"));
}

TEST(FileReplacement, APlantedLinkAtABackupNameIsReplacedNotFollowed) {
  TempDir dir;
  const std::string db = dir.File("a.db");
  const std::string victim = dir.File("victim");
  WriteBytes(db, Bytes("database"));
  WriteBytes(victim, Bytes("someone's file"));
  ::chmod(victim.c_str(), 0640);
  fs::create_symlink(victim, db + ".bak");
  ASSERT_TRUE(KeepBackup(db));
  EXPECT_EQ(ReadBytes(victim), Bytes("someone's file"));
  EXPECT_EQ(ModeOf(victim), 0640u);
  EXPECT_FALSE(fs::is_symlink(db + ".bak"));
  EXPECT_EQ(ReadBytes(db + ".bak"), Bytes("database"));
  EXPECT_EQ(ModeOf(db + ".bak"), 0600u);
}

TEST(FileReplacement, RefusedTargets) {
  TempDir dir;
  const std::string held = dir.File("held.db");
  WriteBytes(held, Bytes("x"));
  DatabaseFile other;
  ASSERT_TRUE(other.OpenExisting(held));
  FileReplacement replacement;
  IoResult begun = replacement.Begin(held);
  EXPECT_FALSE(begun);
  EXPECT_NE(begun.error.find("in use by another program"), std::string::npos) << begun.error;
  // The holder itself may replace it.
  EXPECT_TRUE(replacement.Begin(held, {.lockTarget = false}));
  replacement.Abandon();

  begun = replacement.Begin(dir.Path().string());
  EXPECT_FALSE(begun);
  EXPECT_NE(begun.error.find("not a regular file"), std::string::npos) << begun.error;

  const std::string readOnly = dir.File("ro.db");
  WriteBytes(readOnly, Bytes("keep"));
  if (MakeUnwritable(readOnly)) {
    EXPECT_FALSE(replacement.Begin(readOnly));
    SetImmutable(readOnly, false);
  }
  EXPECT_EQ(ReadBytes(readOnly), Bytes("keep"));
  EXPECT_TRUE(Leftovers(dir, {"held.db", "ro.db"}).empty());
}

TEST(FileReplacement, AFullDiskFailsTheWriteAndTheTargetStays) {
  TempDir dir;
  const std::string target = dir.File("a.db");
  WriteBytes(target, std::vector<unsigned char>(30000, 7));
  DatabaseFile file;
  ASSERT_TRUE(file.BeginReplacement(target, {}));
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit limited = old;
  limited.rlim_cur = 25620;
  setrlimit(RLIMIT_FSIZE, &limited);
  const IoResult written = file.WriteNewContents('B');
  const IoResult more = file.WriteArticle(1, ZeroArticle());
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);
  EXPECT_TRUE(written);
  ASSERT_FALSE(more);
  EXPECT_NE(more.error.find(target), std::string::npos) << more.error;  // the file, not the hidden one
  file.Close();
  EXPECT_EQ(ReadBytes(target), std::vector<unsigned char>(30000, 7));
  EXPECT_TRUE(Leftovers(dir, {"a.db"}).empty());
}

TEST(FileReplacement, ACommittedDatabaseStaysOpenAndHeld) {
  TempDir dir;
  const std::string target = dir.File("a.db");
  DatabaseFile file;
  ASSERT_TRUE(file.BeginReplacement(target, {}));
  EXPECT_TRUE(file.Replacing());
  ASSERT_TRUE(file.WriteNewContents('B'));
  ASSERT_TRUE(file.CommitReplacement());
  EXPECT_FALSE(file.Replacing());
  EXPECT_TRUE(file.CheckHeader());
  DatabaseFile second;
  EXPECT_FALSE(second.OpenExisting(target));  // the lock came with the file
  file.Close();
  EXPECT_EQ(fs::file_size(target), 25620u);
}

TEST(FileReplacement, BackupsAreMadeOnlyFromCompleteFiles) {
  TempDir dir;
  const std::string target = dir.File("a.db");
  WriteBytes(target, Bytes("original"));
  for (int attempt = 0; attempt < 2; ++attempt) {  // two interrupted replacements in a row
    FileReplacement replacement;
    ASSERT_TRUE(replacement.Begin(target, {.keepBackup = true}));
    WriteText(replacement, "half");
  }
  EXPECT_FALSE(fs::exists(target + ".bak"));
  FileReplacement replacement;
  ASSERT_TRUE(replacement.Begin(target, {.keepBackup = true}));
  WriteText(replacement, "second");
  ASSERT_TRUE(replacement.Commit());
  EXPECT_EQ(ReadBytes(target + ".bak"), Bytes("original"));
}

TEST(FileReplacement, ThePrivateFolderIsTheUsersAlone) {
  TempDir dir;
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string previous = saved ? saved : "";
  ::setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
  std::string folder;
  const IoResult made = PrivateFolder("quillbay-test", folder);
  std::string file;
  const IoResult created = made ? CreatePrivateFile(folder, "tmpDBTransfer", file) : made;
  if (saved) ::setenv("XDG_RUNTIME_DIR", previous.c_str(), 1); else ::unsetenv("XDG_RUNTIME_DIR");
  ASSERT_TRUE(made) << made.error;
  ASSERT_TRUE(created) << created.error;
  EXPECT_EQ(folder, dir.File("quillbay-test"));
  EXPECT_EQ(ModeOf(folder), 0700u);
  EXPECT_EQ(ModeOf(file), 0600u);

  // A link planted at the folder's name is refused.
  fs::create_directory(dir.Path() / "elsewhere");
  fs::create_directory_symlink(dir.Path() / "elsewhere", dir.Path() / "planted" );
  ::setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
  const IoResult planted = PrivateFolder("planted", folder);
  if (saved) ::setenv("XDG_RUNTIME_DIR", previous.c_str(), 1); else ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_FALSE(planted);
}

}  // namespace
