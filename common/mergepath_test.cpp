// Tests of mergepath, the routine that resolves every file name before the engine opens it. Each case is
// run with the Windows rules and, translated, with the POSIX rules, into a result buffer exactly maxPath
// long followed by guard bytes that must never be written.
#include "common/mergepath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#ifdef _WIN32
#include <direct.h>
#else
#include <unistd.h>
#endif

namespace {

const char *const kIllegal = nullptr;  // expected result of a name that must be refused
const char kRefused[] = "(illegal)";   // what Resolve returns for a refused name
const size_t kGuardSize = 32;          // bytes after the result buffer that must stay kFill
const char kFill = '#';

// One name under one rule set; defaultDir may be null, expected is kIllegal when the name is refused.
struct Form {
  const char *defaultDir;
  const char *name;
  const char *expected;
};

// One case: what it proves, its Windows form and its POSIX translation.
struct Row {
  const char *what;
  Form windows;
  Form posix;
};

// What a table shares: the current directory under each rule set and the default extension.
struct Setting {
  const char *windowsCurrentDir;
  const char *posixCurrentDir;
  const char *defaultExt;
};

// The resolved path, or kRefused. Checks that nothing was written past rules.maxPath bytes, that the
// result is terminated inside them, and that a refused name leaves the buffer untouched.
std::string Resolve(const PathRules &rules, const char *currentDir, const char *defaultDir, const char *name,
                    const char *defaultExt) {
  std::vector<char> buffer(rules.maxPath + kGuardSize, kFill);
  int result = mergepath(buffer.data(), defaultDir, name, defaultExt, rules, currentDir);
  auto end = buffer.begin() + static_cast<std::ptrdiff_t>(rules.maxPath);
  EXPECT_TRUE(std::all_of(end, buffer.end(), [](char c) { return c == kFill; })) << "wrote past the buffer";
  if (result == 0) {
    EXPECT_TRUE(std::all_of(buffer.begin(), end, [](char c) { return c == kFill; })) << "changed out";
    return kRefused;
  }
  EXPECT_EQ(1, result);
  auto terminator = std::find(buffer.begin(), end, '\0');
  EXPECT_NE(end, terminator) << "result not terminated";
  return std::string(buffer.begin(), terminator);
}

std::string Expected(const char *expected) { return expected == kIllegal ? kRefused : expected; }

template <size_t N>
void ExpectTable(const Setting &setting, const Row (&rows)[N]) {
  for (const Row &row : rows) {
    SCOPED_TRACE(row.what);
    const Form &w = row.windows;
    const Form &p = row.posix;
    EXPECT_EQ(Expected(w.expected),
              Resolve(kWindowsPathRules, setting.windowsCurrentDir, w.defaultDir, w.name, setting.defaultExt))
        << "Windows: " << w.name;
    EXPECT_EQ(Expected(p.expected),
              Resolve(kPosixPathRules, setting.posixCurrentDir, p.defaultDir, p.name, setting.defaultExt))
        << "POSIX: " << p.name;
  }
}

TEST(MergePath, CompletesNamesFromTheCurrentDirectory) {
  const Row rows[] = {
      {"relative name joins the current directory",
       {nullptr, "x.txt", "C:\\work\\x.txt"}, {nullptr, "x.txt", "/work/x.txt"}},
      {"'..' climbs out of the current directory",
       {nullptr, "..\\x.txt", "C:\\x.txt"}, {nullptr, "../x.txt", "/x.txt"}},
      {"'.' step is dropped",
       {nullptr, "sub\\.\\y.dat", "C:\\work\\sub\\y.dat"}, {nullptr, "sub/./y.dat", "/work/sub/y.dat"}},
      {"rooted name takes the current drive, doubled separator is tidied",
       {nullptr, "\\data\\\\z", "C:\\data\\z"}, {nullptr, "/data//z", "/data/z"}},
      {"'..' right at the root is illegal",
       {nullptr, "\\..\\x", kIllegal}, {nullptr, "/../x", kIllegal}},
      {"drive-relative name takes the current path even on another drive; ':' is ordinary on POSIX",
       {nullptr, "D:x.txt", "D:\\work\\x.txt"}, {nullptr, "D:x.txt", "/work/D:x.txt"}},
      {"several dots stay in the name",
       {nullptr, "a.b.c", "C:\\work\\a.b.c"}, {nullptr, "a.b.c", "/work/a.b.c"}},
      {"empty name is the current directory",
       {nullptr, "", "C:\\work\\"}, {nullptr, "", "/work/"}},
  };
  ExpectTable({"C:\\work", "/work", nullptr}, rows);
}

TEST(MergePath, CompletesNamesFromTheDefaultDirectoryAndExtension) {
  const Row rows[] = {
      {"bare name gets the default directory and extension",
       {"C:\\tables", "latin", "C:\\tables\\latin.chs"}, {"/tables", "latin", "/tables/latin.chs"}},
      {"own extension is kept",
       {"C:\\tables", "latin.txt", "C:\\tables\\latin.txt"}, {"/tables", "latin.txt", "/tables/latin.txt"}},
      {"bare trailing dot is kept as the extension",
       {"C:\\tables", "latin.", "C:\\tables\\latin."}, {"/tables", "latin.", "/tables/latin."}},
      {"relative directory goes below the default directory",
       {"C:\\tables", "sets\\latin", "C:\\tables\\sets\\latin.chs"},
       {"/tables", "sets/latin", "/tables/sets/latin.chs"}},
      {"absolute name ignores the default directory",
       {"C:\\tables", "E:\\other\\latin", "E:\\other\\latin.chs"},
       {"/tables", "/other/latin", "/other/latin.chs"}},
      {"a drive letter is a plain directory name on POSIX",
       {"C:\\tables", "E:other\\latin", "E:\\tables\\other\\latin.chs"},
       {"/tables", "E:/other/latin", "/tables/E:/other/latin.chs"}},
      {"a dot in a directory does not start the extension",
       {"C:\\tables", "v1.2\\latin", "C:\\tables\\v1.2\\latin.chs"},
       {"/tables", "v1.2/latin", "/tables/v1.2/latin.chs"}},
      {"'..' is resolved after the default directory is merged",
       {"C:\\tables", "..\\latin", "C:\\latin.chs"}, {"/tables", "../latin", "/latin.chs"}},
  };
  ExpectTable({"C:\\work", "/work", "chs"}, rows);
}

TEST(MergePath, MergesRelativeDefaultDirectoriesWithTheCurrentDirectory) {
  const Row rows[] = {
      {"relative default directory goes below the current one",
       {"tables", "latin", "C:\\work\\tables\\latin.chs"}, {"tables", "latin", "/work/tables/latin.chs"}},
      {"'..' in the default directory climbs out of the current one",
       {"..\\shared", "latin", "C:\\shared\\latin.chs"}, {"../shared", "latin", "/shared/latin.chs"}},
      {"default drive with a relative path keeps its drive",
       {"D:tables", "latin", "D:\\work\\tables\\latin.chs"}, {"D:tables", "latin", "/work/D:tables/latin.chs"}},
  };
  ExpectTable({"C:\\work", "/work", "chs"}, rows);
}

TEST(MergePath, ResolvesParentStepsDownToTheRootAndNoFurther) {
  const Row rows[] = {
      {"chain that climbs exactly to the root",
       {nullptr, "..\\..\\x", "C:\\x"}, {nullptr, "../../x", "/x"}},
      {"chain one step above the root",
       {nullptr, "..\\..\\..\\x", kIllegal}, {nullptr, "../../../x", kIllegal}},
      {"'.' steps and doubled separators around '..'",
       {nullptr, ".\\..\\\\.\\x", "C:\\a\\x"}, {nullptr, "./..//./x", "/a/x"}},
      {"'...', '..x' and 'x..' are ordinary elements",
       {nullptr, "...\\..x\\x..\\y", "C:\\a\\b\\...\\..x\\x..\\y"},
       {nullptr, ".../..x/x../y", "/a/b/.../..x/x../y"}},
  };
  ExpectTable({"C:\\a\\b", "/a/b", nullptr}, rows);
}

TEST(MergePath, HandlesACurrentDirectoryAtTheRoot) {
  const Row rows[] = {
      {"empty name is the root", {nullptr, "", "C:\\"}, {nullptr, "", "/"}},
      {"'..' above the root is illegal", {nullptr, "..\\x", kIllegal}, {nullptr, "../x", kIllegal}},
  };
  ExpectTable({"C:\\", "/", nullptr}, rows);
  EXPECT_EQ("C:\\x", Resolve(kWindowsPathRules, "C:", nullptr, "x", nullptr)) << "a drive alone is its root";
}

TEST(MergePath, RefusesDrivePartsLongerThanThreeCharacters) {
  const Row rows[] = {
      {"four-character drive is illegal", {nullptr, "ABC:x", kIllegal}, {nullptr, "ABC:x", "/work/ABC:x"}},
      {"':' far into the name makes a long drive",
       {nullptr, "dir\\file:x", kIllegal}, {nullptr, "dir/file:x", "/work/dir/file:x"}},
      {"long drive in the default directory is illegal",
       {"ABC:\\t", "x", kIllegal}, {"ABC:/t", "x", "/work/ABC:/t/x"}},
  };
  ExpectTable({"C:\\work", "/work", nullptr}, rows);
  EXPECT_EQ(kRefused, Resolve(kWindowsPathRules, "ABC:\\work", nullptr, "x", nullptr));
}

TEST(MergePath, RefusesANullNameAndIgnoresAnEmptyDefaultExtension) {
  EXPECT_EQ(kRefused, Resolve(kWindowsPathRules, "C:\\work", "C:\\tables", nullptr, "chs"));
  EXPECT_EQ("/work/x", Resolve(kPosixPathRules, "/work", nullptr, "x", ""));
}

// Limits, checked under both rule sets. An absolute name keeps the current directory out of the result.
class MergePathLimits : public testing::TestWithParam<const PathRules *> {
 protected:
  const PathRules &rules = *GetParam();
  const std::string sep = std::string(1, rules.separator);
  const std::string root = (rules.hasDrives ? "C:" : "") + sep;  // an absolute directory
  const char *currentDir = rules.hasDrives ? "C:\\work" : "/work";

  bool Accepts(const std::string &name, const char *defaultExt = nullptr) {
    return Resolve(rules, currentDir, nullptr, name.c_str(), defaultExt) != kRefused;
  }
  bool AcceptsCurrentDir(const std::string &dir) {
    return Resolve(rules, dir.c_str(), nullptr, "", nullptr) != kRefused;
  }
};

TEST_P(MergePathLimits, ResultFillsTheBufferExactlyAndNotOneCharacterMore) {
  size_t fill = rules.maxPath - 1 - root.size() - sep.size() - 1;  // directory letters of a full result
  EXPECT_TRUE(Accepts(root + std::string(fill, 'd') + sep + "f"));
  EXPECT_FALSE(Accepts(root + std::string(fill + 1, 'd') + sep + "f"));
}

TEST_P(MergePathLimits, BoundsTheDirectoryAsGivenEvenWhenTidyingWouldShortenIt) {
  std::string drive = rules.hasDrives ? "C:" : "";
  EXPECT_TRUE(Accepts(drive + std::string(rules.maxPath - 1, rules.separator) + "f"));
  EXPECT_FALSE(Accepts(drive + std::string(rules.maxPath, rules.separator) + "f"));
}

TEST_P(MergePathLimits, BoundsTheCurrentDirectory) {
  size_t fill = rules.maxPath - 1 - root.size() - sep.size();  // current directory letters of a full result
  EXPECT_TRUE(AcceptsCurrentDir(root + std::string(fill, 'w')));
  EXPECT_FALSE(AcceptsCurrentDir(root + std::string(fill + 1, 'w')));
}

TEST_P(MergePathLimits, BoundsTheBaseNameAndTheExtension) {
  size_t element = rules.maxElement - 1;
  EXPECT_TRUE(Accepts(root + std::string(element, 'b')));
  EXPECT_FALSE(Accepts(root + std::string(element + 1, 'b')));
  EXPECT_TRUE(Accepts(root + "." + std::string(element - 1, 'e')));
  EXPECT_FALSE(Accepts(root + "." + std::string(element, 'e')));
  EXPECT_TRUE(Accepts(root, std::string(element - 1, 'e').c_str())) << "default extension with its dot";
  EXPECT_FALSE(Accepts(root, std::string(element, 'e').c_str())) << "default extension with its dot";
}

INSTANTIATE_TEST_SUITE_P(BothRuleSets, MergePathLimits, testing::Values(&kWindowsPathRules, &kPosixPathRules),
                         [](const testing::TestParamInfo<const PathRules *> &info) {
                           return info.param->hasDrives ? std::string("Windows") : std::string("Posix");
                         });

TEST(MergePathHost, RelativeNameUsesTheProcessCurrentDirectory) {
  char cwd[kMaxPath];
#ifdef _WIN32
  ASSERT_NE(nullptr, _getcwd(cwd, static_cast<int>(sizeof cwd)));
#else
  ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
#endif
  std::string expected = cwd;
  if (expected.back() != kHostPathRules.separator) expected += kHostPathRules.separator;
  char out[kMaxPath];
  ASSERT_EQ(1, mergepath(out, nullptr, "x", "chs"));
  EXPECT_EQ(expected + "x.chs", out);
}

}  // namespace
