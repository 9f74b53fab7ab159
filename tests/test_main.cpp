// The main of every test program: each run gets a private temporary folder
// (TMPDIR and TEST_TMPDIR point into it, for the tests and for the programs
// they start), so that tests writing files under fixed names never collide
// with another run of the suite on the same machine. The folder is removed
// when the tests end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/vorn-test-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const bool made = mkdtemp(name.data()) != nullptr;
  if (made) {
    setenv("TMPDIR", name.data(), 1);
    setenv("TEST_TMPDIR", name.data(), 1);
  }
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  if (made) {
    std::error_code error;
    std::filesystem::remove_all(name.data(), error);
  }
  return result;
}
