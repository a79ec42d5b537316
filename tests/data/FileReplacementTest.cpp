// Replacing files whole: the old file or the complete new one, never half of
// each; private files never go through a planted link.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "data/DatabaseFile.h"
#include "data/FileReplacement.h"
#include "tests/data/TempDir.h"

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

mode_t DescriptorMode(int fd) {
  struct stat st {};
  ::fstat(fd, &st);
  return st.st_mode & 07777;
}

// The new file without a name (where the file system allows it) and with one.
constexpr bool kUnnamedOrNamed[] = {true, false};

TEST(FileReplacement, CommitPutsTheNewFileInPlaceWithTheTargetsMode) {
  for (const bool unnamed : kUnnamedOrNamed) {
    SCOPED_TRACE(unnamed ? "unnamed" : "named");
    TempDir dir;
    const std::string target = dir.File("a.db");
    WriteBytes(target, Bytes("old"));
    ::chmod(target.c_str(), 0640);
    FileReplacement replacement;
    ASSERT_TRUE(replacement.Begin(target, {.unnamedTemporary = unnamed}));
    EXPECT_EQ(DescriptorMode(replacement.Descriptor()), 0600u);
    EXPECT_EQ(replacement.TemporaryPath().empty(), unnamed);
    // Unnamed, nothing shows in the folder while the new file is written.
    EXPECT_EQ(Leftovers(dir, {"a.db"}).size(), unnamed ? 0u : 1u);
    ASSERT_TRUE(WriteText(replacement, "new contents"));
    EXPECT_EQ(ReadBytes(target), Bytes("old"));  // untouched until the commit
    ASSERT_TRUE(replacement.Commit());
    EXPECT_EQ(ReadBytes(target), Bytes("new contents"));
    EXPECT_EQ(ModeOf(target), 0640u);
    EXPECT_TRUE(Leftovers(dir, {"a.db"}).empty());
    // A target that did not exist is made too.
    ASSERT_TRUE(replacement.Begin(dir.File("new.db"), {.unnamedTemporary = unnamed}));
    ASSERT_TRUE(WriteText(replacement, "fresh"));
    ASSERT_TRUE(replacement.Commit());
    EXPECT_EQ(ReadBytes(dir.File("new.db")), Bytes("fresh"));
    EXPECT_TRUE(Leftovers(dir, {"a.db", "new.db"}).empty());
  }
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
  for (const bool unnamed : kUnnamedOrNamed) {
    SCOPED_TRACE(unnamed ? "unnamed" : "named");
    TempDir dir;
    const std::string target = dir.File("a.db");
    WriteBytes(target, Bytes("old"));
    {
      FileReplacement replacement;
      ASSERT_TRUE(replacement.Begin(target, {.unnamedTemporary = unnamed}));
      ASSERT_TRUE(WriteText(replacement, "half"));
    }
    EXPECT_EQ(ReadBytes(target), Bytes("old"));
    EXPECT_TRUE(Leftovers(dir, {"a.db"}).empty());

    // A target that did not exist is not made.
    FileReplacement replacement;
    ASSERT_TRUE(replacement.Begin(dir.File("new.db"), {.unnamedTemporary = unnamed}));
    replacement.Abandon();
    EXPECT_FALSE(fs::exists(dir.File("new.db")));
    EXPECT_TRUE(Leftovers(dir, {"a.db"}).empty());
  }
}

// Runs a replacement of target in a child process that is killed before it commits.
void KilledReplacement(const std::string& target, bool unnamed) {
  const pid_t child = ::fork();
  if (child == 0) {
    FileReplacement replacement;
    if (!replacement.Begin(target, {.unnamedTemporary = unnamed}) || !WriteText(replacement, "half")) ::_exit(1);
    ::kill(::getpid(), SIGKILL);
    ::_exit(2);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
}

TEST(FileReplacement, AKilledRunLeavesNothingOrALeftoverTheNextReplacementRemoves) {
  TempDir dir;
  const std::string target = dir.File("a.db");
  WriteBytes(target, Bytes("old"));
  KilledReplacement(target, true);
  EXPECT_TRUE(Leftovers(dir, {"a.db"}).empty());

  // Where the file system has no unnamed files, the killed run's hidden file stays...
  KilledReplacement(target, false);
  const std::vector<std::string> stale = Leftovers(dir, {"a.db"});
  ASSERT_EQ(stale.size(), 1u);
  EXPECT_EQ(stale[0].rfind(".a.db.new-", 0), 0u) << stale[0];
  // ... beside one of a run still going (the window that holds the file does
  // not lock it again), one of another user, and files that are not leftovers.
  FileReplacement live;
  ASSERT_TRUE(live.Begin(target, {.lockTarget = false, .unnamedTemporary = false}));
  const std::string liveName = fs::path(live.TemporaryPath()).filename().string();
  const std::string foreign = ".a.db.new-Zz9Yy8";
  WriteBytes(dir.File(foreign), Bytes("another user's"));
  ASSERT_EQ(::chown(dir.File(foreign).c_str(), 65534, 65534), 0);
  WriteBytes(dir.File(".a.db.backup"), Bytes("the user's"));
  WriteBytes(dir.File(".b.db.new-Ab12Cd"), Bytes("another file's"));

  // The next replacement of the same target, either way, removes only the dead run's own.
  for (const bool unnamed : kUnnamedOrNamed) {
    FileReplacement next;
    ASSERT_TRUE(next.Begin(target, {.unnamedTemporary = unnamed}));
    EXPECT_FALSE(fs::exists(dir.File(stale[0])));
    EXPECT_TRUE(fs::exists(live.TemporaryPath()));
    EXPECT_TRUE(fs::exists(dir.File(foreign)));
    EXPECT_TRUE(fs::exists(dir.File(".a.db.backup")));
    EXPECT_TRUE(fs::exists(dir.File(".b.db.new-Ab12Cd")));
    next.Abandon();
  }
  ASSERT_TRUE(WriteText(live, "live"));
  ASSERT_TRUE(live.Commit());
  EXPECT_EQ(ReadBytes(target), Bytes("live"));
}

struct Ownership {
  uid_t uid;
  gid_t gid;
};

Ownership OwnerOf(const std::string& path) {
  struct stat st {};
  ::lstat(path.c_str(), &st);
  return {st.st_uid, st.st_gid};
}

TEST(FileReplacement, AReplacedFileAndItsBackupKeepTheOwnerAndGroup) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving a file away needs root";
  TempDir dir;
  const std::string target = dir.File("a.db");
  WriteBytes(target, Bytes("theirs"));
  ASSERT_EQ(::chown(target.c_str(), 65534, 65533), 0);
  ::chmod(target.c_str(), 0640);
  FileReplacement replacement;
  ASSERT_TRUE(replacement.Begin(target, {.keepBackup = true}));
  ASSERT_TRUE(WriteText(replacement, "new"));
  ASSERT_TRUE(replacement.Commit());
  EXPECT_EQ(OwnerOf(target).uid, 65534u);
  EXPECT_EQ(OwnerOf(target).gid, 65533u);
  EXPECT_EQ(ModeOf(target), 0640u);
  // The backup stays private, to the file's owner.
  EXPECT_EQ(OwnerOf(target + ".bak").uid, 65534u);
  EXPECT_EQ(OwnerOf(target + ".bak").gid, 65533u);
  EXPECT_EQ(ModeOf(target + ".bak"), 0600u);
  EXPECT_EQ(ReadBytes(target + ".bak"), Bytes("theirs"));
  // A new file is the maker's.
  ASSERT_TRUE(ReplaceFileWith(dir.File("new.db"), "x"));
  EXPECT_EQ(OwnerOf(dir.File("new.db")).uid, 0u);
}

// Begins and commits a replacement of target as another user in a child
// process; the error, or "" when it worked.
std::string ReplaceAs(const std::string& target, uid_t uid, gid_t gid, std::vector<gid_t> groups) {
  int pipe[2];
  if (::pipe(pipe) != 0) return "no pipe";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe[0]);
    std::string error;
    if (::setgroups(groups.size(), groups.data()) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) {
      error = "cannot become the user";
    } else {
      FileReplacement replacement;
      IoResult result = replacement.Begin(target);
      if (result && !WriteText(replacement, "new")) result = IoResult::Fail("write");
      if (result) result = replacement.Commit();
      error = result.error;
    }
    [[maybe_unused]] const ssize_t n = ::write(pipe[1], error.data(), error.size());
    ::_exit(0);
  }
  ::close(pipe[1]);
  std::string error;
  char buffer[512];
  for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;) error.append(buffer, static_cast<std::size_t>(n));
  ::close(pipe[0]);
  ::waitpid(child, nullptr, 0);
  return error;
}

TEST(FileReplacement, AnotherUsersFileIsRefusedAndAGroupKeptWhereTheUserIsInIt) {
  if (::geteuid() != 0) GTEST_SKIP() << "trying other users needs root";
  TempDir dir;
  ::chmod(dir.Path().c_str(), 0777);
  const std::string target = dir.File("a.db");
  const struct {
    uid_t owner;
    gid_t group;
    mode_t mode;
    std::vector<gid_t> userGroups;  // of user 65534, besides its own group 65534
    const char* refusal;            // nullptr: replaced
    gid_t groupAfter;
  } cases[] = {
      {65533, 65534, 0666, {}, "belongs to", 0},      // would change hands
      {65534, 65533, 0660, {}, "is not in", 0},       // would take the group's access away
      {65534, 65533, 0660, {65533}, nullptr, 65533},  // a member keeps the group
      {65534, 65533, 0644, {}, nullptr, 65534},       // the group gave nothing more than others have
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.owner) + ":" + std::to_string(c.group));
    WriteBytes(target, Bytes("old"));
    ASSERT_EQ(::chown(target.c_str(), c.owner, c.group), 0);
    ASSERT_EQ(::chmod(target.c_str(), c.mode), 0);
    const std::string error = ReplaceAs(target, 65534, 65534, c.userGroups);
    if (c.refusal) {
      EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
      EXPECT_EQ(ReadBytes(target), Bytes("old"));
      EXPECT_EQ(OwnerOf(target).uid, c.owner);
    } else {
      EXPECT_EQ(error, "");
      EXPECT_EQ(ReadBytes(target), Bytes("new"));
      EXPECT_EQ(OwnerOf(target).uid, 65534u);
      EXPECT_EQ(OwnerOf(target).gid, c.groupAfter);
      EXPECT_EQ(ModeOf(target), c.mode);
    }
    EXPECT_TRUE(Leftovers(dir, {"a.db"}).empty());
    fs::remove(target);
  }
}

TEST(FileReplacement, ATargetWithOtherNamesIsRefused) {
  TempDir dir;
  const std::string target = dir.File("a.db");
  WriteBytes(target, Bytes("old"));
  ASSERT_EQ(::link(target.c_str(), dir.File("same.db").c_str()), 0);
  FileReplacement replacement;
  const IoResult begun = replacement.Begin(target);
  EXPECT_FALSE(begun);
  EXPECT_NE(begun.error.find("1 other name(s) (hard links)"), std::string::npos) << begun.error;
  EXPECT_FALSE(ReplaceFileWith(target, "new"));
  EXPECT_EQ(ReadBytes(target), Bytes("old"));
  EXPECT_EQ(ReadBytes(dir.File("same.db")), Bytes("old"));
  EXPECT_TRUE(Leftovers(dir, {"a.db", "same.db"}).empty());
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
  if (saved)
    ::setenv("XDG_RUNTIME_DIR", previous.c_str(), 1);
  else
    ::unsetenv("XDG_RUNTIME_DIR");
  ASSERT_TRUE(made) << made.error;
  ASSERT_TRUE(created) << created.error;
  EXPECT_EQ(folder, dir.File("quillbay-test"));
  EXPECT_EQ(ModeOf(folder), 0700u);
  EXPECT_EQ(ModeOf(file), 0600u);

  // A link planted at the folder's name is refused.
  fs::create_directory(dir.Path() / "elsewhere");
  fs::create_directory_symlink(dir.Path() / "elsewhere", dir.Path() / "planted");
  ::setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
  const IoResult planted = PrivateFolder("planted", folder);
  if (saved)
    ::setenv("XDG_RUNTIME_DIR", previous.c_str(), 1);
  else
    ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_FALSE(planted);
}

}  // namespace
