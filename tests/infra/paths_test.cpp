#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>

#ifdef _WIN32
#include <direct.h>
#define chdir _chdir
#define getcwd _getcwd
#else
#include <unistd.h>
#endif

namespace {

struct Read {
  bool ok = false;
  std::string bytes;
};

Read readFile(const std::string& path, size_t limit = 4096) {
  Read r;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return r;
  r.ok = true;
  char buf[512];
  size_t n;
  while (r.bytes.size() < limit && (n = std::fread(buf, 1, sizeof buf, f)) > 0)
    r.bytes.append(buf, n);
  std::fclose(f);
  return r;
}

struct Probe {
  const char* path;
  const char* prefix;
};

void PrintTo(const Probe& p, std::ostream* os) { *os << p.path; }

class TestPaths : public ::testing::TestWithParam<Probe> {};

TEST_P(TestPaths, OpensWithExpectedContent) {
  const Read r = readFile(GetParam().path);
  ASSERT_TRUE(r.ok) << GetParam().path;
  EXPECT_EQ(r.bytes.rfind(GetParam().prefix, 0), 0u) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(
    Locations, TestPaths,
    ::testing::Values(
        Probe{ZELVO_CORPUS_DIR "/manifest.tsv", "path\twidth\theight\t"},
        Probe{ZELVO_CORPUS_DIR "/bmp/bmpsuite/g/pal8.bmp", "BM"},
        Probe{ZELVO_SOURCE_DIR "/tests/infra/fixture.txt", "zelvo fixture"},
        // Copied beside the executable; the test runs in its binary directory.
        Probe{"fixture.txt", "zelvo fixture"}));

// Code under test may change directory (e.g. into a temp dir on C: under Wine);
// the absolute paths must keep working from there.
TEST(TestPathsElsewhere, CorpusStillOpensAfterChangingDirectory) {
  char saved[4096];
  ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
#ifdef _WIN32
  ASSERT_EQ(chdir("C:\\"), 0);
#else
  ASSERT_EQ(chdir("/"), 0);
#endif
  const Read r = readFile(ZELVO_CORPUS_DIR "/manifest.tsv");
  const Read local = readFile("fixture.txt");
  ASSERT_EQ(chdir(saved), 0);
  EXPECT_TRUE(r.ok);
  EXPECT_FALSE(local.ok) << "relative path should not resolve outside the test dir";
}

}  // namespace
