#pragma once

// A fixture for tests that run the lumipack program itself, as users do:
// exit codes, files on disk and messages are what these tests look at.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lumipack::testing {

std::vector<uint8_t> Bytes(std::string_view s);

// MinimalPeImage made a 64-bit (x64) image.
std::vector<uint8_t> SixtyFourBitPe();

// A PE image of about `size` bytes whose section does not compress (bytes
// from a fixed-seed generator), so that compressing and writing it takes
// a while.
std::vector<uint8_t> IncompressiblePe(size_t size);

bool HaveProgram(const std::string& name);

struct Outcome {
  int code = -1;
  std::string out;
  std::string err;
};

// How a program started in the background ended.
struct Ending {
  bool signalled = false;
  int code = -1;  // the signal's number when signalled, else the exit code
};

class LumipackCommand : public ::testing::Test {
 public:
  void SetUp() override;
  void TearDown() override;

  static constexpr const char* kBaseManifest =
      "title = \"Starfield\"\n"
      "company = \"Lumiset Samples\"\n"
      "copyright = \"(c) 2026 Lumiset Samples\"\n"
      "screensaver = \"starfield.scr\"\n"
      "stub = \"stub.exe\"\n";

  std::filesystem::path Path(const std::string& name) const { return dir_ / name; }

  void Write(const std::string& name, std::span<const uint8_t> bytes) const;
  void Write(const std::string& name, std::string_view text) const { Write(name, Bytes(text)); }
  std::vector<uint8_t> Read(const std::string& name) const;
  std::string ReadText(const std::string& name) const;

  // Runs `env lumipack args` in the test folder through the shell; `program`
  // replaces the lumipack under test when given.
  Outcome Lumipack(const std::string& args, const std::string& env = "",
                   const std::string& program = "") const;
  // The same with `input` on standard input.
  Outcome LumipackFed(const std::string& args, const std::string& input) const;

  // The lumipack under test: LUMIPACK_UNDER_TEST when set (to run these
  // tests against another build), else the one this tree built.
  static std::string Program();

  // `lumipack inspect --json` of an installer that must read.
  nlohmann::json Inspect(const std::string& installer) const;

  // Every file and folder under the test folder, relative to it.
  std::set<std::string> Listing() const;

  // Starts lumipack with `args` in the test folder, with PATH set to
  // `path_folder` first when given, and sends `signal_number` once
  // `scratch_files` files named "*.partial" have been created in the test
  // folder; returns how it ended. Files created are watched with inotify,
  // so the signal arrives within the step that made the last one.
  Ending InterruptWhenScratchAppears(const std::vector<std::string>& args, int signal_number,
                                     int scratch_files,
                                     const std::filesystem::path& path_folder = {}) const;

  // Runs lumipack with `args` in the test folder on a pseudo-terminal of
  // `columns` columns; returns what it wrote there (standard output and
  // error both) and its exit code.
  Outcome OnTerminal(const std::vector<std::string>& args, unsigned columns) const;

  std::filesystem::path dir_;
};

#define EXPECT_CONTAINS(haystack, needle) \
  EXPECT_NE(std::string(haystack).find(needle), std::string::npos) << (haystack)
#define EXPECT_LACKS(haystack, needle) \
  EXPECT_EQ(std::string(haystack).find(needle), std::string::npos) << (haystack)

}  // namespace lumipack::testing
