#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "decode/pending_file.h"
#include "platform/file_system.h"
#include "tests/support/deflate_streams.h"
#include "tests/support/test_files.h"
#include "tools/pack.h"
#include "tools/package_names.h"
#include "tools/unpack.h"

namespace {

TEST(PackageNames, DefaultNamesReplaceOnlyTheFileExtension) {
  const char* const cases[][2] = {{"C:\\pkg\\p0046.DLL", "C:\\pkg\\p0046.ppk"}, {"a.b.dll", "a.b.ppk"},
                                  {"old.dir/readme", "old.dir/readme.ppk"}, {"old.dir\\readme", "old.dir\\readme.ppk"},
                                  {"dir/.hidden", "dir/.hidden.ppk"}};
  for (const auto& c : cases) EXPECT_EQ(c[1], ppk::DefaultPackageName(c[0])) << c[0];
  EXPECT_EQ("x.y\\p0046.dll", ppk::DefaultModuleName("x.y\\p0046"));
}

// An existing package or module is replaced only by a complete new one, and
// neither tool ever writes over its own input or through a planted name.
TEST(Ppk, PackAndUnpackReplaceOnlyWithACompleteFileAndNeverTheirInput) {
  TempFolder folder(true);
  const deflate_streams::Bytes bytes = deflate_streams::ModuleLike(300000, 99);
  const std::string module(bytes.begin(), bytes.end());
  std::string message;
  ppk::PackResult packed;
  WriteWholeFile("in.dll", module);
  WriteWholeFile("in.ppk", "old package");
  // Killed runs left files at pending names: every one goes, whichever way
  // the target is spelt.
  for (const char* leftover : {"in.ppk.tmp", "in.ppk.9.tmp"}) WriteWholeFile(leftover, "left by a killed run");
  WriteWholeFile("out.dll", "old module");
  ASSERT_TRUE(ppk::PackModule("in.dll", "./in.ppk", &packed, &message)) << message;
  ASSERT_TRUE(ppk::UnpackPackage("in.ppk", "out.dll", &message)) << message;
  EXPECT_EQ(module, ReadWholeFile("out.dll"));
  for (const char* gone : {"in.ppk.tmp", "in.ppk.9.tmp", "out.dll.tmp"}) EXPECT_FALSE(FileExists(gone)) << gone;

  EXPECT_FALSE(ppk::UnpackPackage("none.ppk", "out.dll", &message));
  EXPECT_EQ("File open failure.  Open of none.ppk returned errno = 2 (" + std::string(std::strerror(ENOENT)) + ")",
            message);
  // A folder with something in it cannot be replaced.
  std::filesystem::create_directories("dir.dll/x");
  EXPECT_FALSE(ppk::UnpackPackage("in.ppk", "dir.dll", &message));
  // A second link of another file at the pending names is passed over, and
  // so are links (made only here: Win32 under the emulator makes none);
  // what they lead to keeps its bytes.
  WriteWholeFile("victim", "not yours");
  for (const char* name : {"new.dll", "new.ppk"}) std::filesystem::create_hard_link("victim", std::string(name) + ".2.tmp");
#ifndef _WIN32
  for (const char* name : {"new.dll", "new.ppk"}) {
    std::filesystem::create_symlink("victim", std::string(name) + ".tmp");
    std::filesystem::create_symlink("nowhere", std::string(name) + ".1.tmp");
  }
#endif
  ASSERT_TRUE(ppk::UnpackPackage("in.ppk", "new.dll", &message)) << message;
  ASSERT_TRUE(ppk::PackModule("in.dll", "new.ppk", &packed, &message)) << message;
  EXPECT_EQ(module, ReadWholeFile("new.dll"));
  EXPECT_EQ("not yours", ReadWholeFile("victim"));
  for (const char* link : {"new.dll.2.tmp", "new.ppk.2.tmp"}) EXPECT_EQ("not yours", ReadWholeFile(link)) << link;
#ifndef _WIN32
  EXPECT_TRUE(std::filesystem::is_symlink("new.dll.tmp"));
  EXPECT_TRUE(std::filesystem::is_symlink("new.ppk.1.tmp"));
  // A package is read only from a file at its own name.
  std::filesystem::create_symlink("in.ppk", "link.ppk");
  EXPECT_FALSE(ppk::UnpackPackage("link.ppk", "linked.dll", &message));
  EXPECT_FALSE(FileExists("linked.dll"));
#endif

  // "ppk pack x.ppk" names its input as its output, as does another spelling
  // of its name; an input may also have the output's pending name, or the
  // other way round.
  EXPECT_FALSE(ppk::UnpackPackage("in.ppk", "./in.ppk", &message));
  EXPECT_FALSE(ppk::PackModule("in.ppk", ppk::DefaultPackageName("in.ppk"), &packed, &message));
  EXPECT_EQ("File creation failure.  in.ppk and in.ppk are one file or its pending file", message);
  WriteWholeFile("p.ppk.tmp", module);
  EXPECT_FALSE(ppk::PackModule("p.ppk.tmp", "p.ppk", &packed, &message));
  EXPECT_FALSE(ppk::PackModule("in.dll", "in.dll.1.tmp", &packed, &message));
  // Spelt otherwise, the input's name is passed over, not cleared.
  EXPECT_TRUE(ppk::PackModule("./p.ppk.tmp", "p.ppk", &packed, &message)) << message;
  EXPECT_EQ(module, ReadWholeFile("p.ppk.tmp"));
  std::filesystem::copy_file("in.ppk", "x.dll.tmp");
  EXPECT_FALSE(ppk::UnpackPackage("x.dll.tmp", "x.dll", &message));
  EXPECT_EQ(ReadWholeFile("in.ppk"), ReadWholeFile("x.dll.tmp"));
  EXPECT_FALSE(FileExists("in.dll.1.tmp"));
}

// A package that decodes to more than the module it should hold (a bomb)
// fails at the first buffer past the limit; one of exactly the limit is whole.
#ifndef _WIN32
// The pending file must reach the disk before it may go into place: a sync
// that fails (here: the file's handle turned into a pipe's, which takes
// bytes but cannot be synced) fails the write, and nothing is left.
TEST(PendingFile, FailedSyncFailsTheWrite) {
  TempFolder folder(true);
  ALPendingFile pending("m.dll");
  ALStatusRecord status;
  int pipeEnds[2];
  ASSERT_EQ(0, pipe(pipeEnds));
  const auto unsyncable = [&](ALFileStorage& output, ALStatusRecord&) {
    output.WriteChar('m');
    return dup2(pipeEnds[1], output.handle) < 0 ? -1 : 0;
  };
  EXPECT_EQ(StatusWriteFailed, pending.Write("none", unsyncable, status));
  EXPECT_EQ(ALPendingFile::Fault::WriteFailed, pending.LastFault());
  EXPECT_FALSE(FileExists("m.dll.tmp"));
  close(pipeEnds[0]);
  close(pipeEnds[1]);
}
#endif

TEST(PendingFile, DecodingEndsAtTheFirstBufferPastTheSizeLimit) {
  TempFolder folder(true);
  WriteWholeFile("bomb.ppk", deflate_streams::Deflate(deflate_streams::Bytes(16u << 20, 0), 1));
  WriteWholeFile("fit.ppk", deflate_streams::Deflate(deflate_streams::ModuleLike(10000)));
  for (const char* package : {"bomb.ppk", "fit.ppk"}) {
    ALPendingFile pending("m.dll");
    ALStatusRecord status;
    const bool fits = package[0] == 'f';
    EXPECT_EQ(fits ? StatusOk : StatusWriteFailed, pending.Decode(package, 10000, status)) << package;
    EXPECT_STREQ(fits ? nullptr : "Write failure on m.dll.tmp.  result = -1, errno = 27", status.Text());
  }
}

}  // namespace
