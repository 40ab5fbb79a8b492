#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/byte_io.h"
#include "base/memory_file.h"
#include "package/package_format.h"
#include "pe_dependencies.h"
#include "range_reader.h"
#include "screensaver_lint.h"
#include "test_pe.h"

// What lumipack reads from a screensaver's tables, read in place and from a
// compressed copy, and the findings it makes of them.

namespace lumipack::testing {
namespace {

using lumiset::LoadU32;
using lumiset::StoreU32;

// The same bytes read in place and through a zlib stream must read alike;
// each returns nullopt when the reader does.
struct BothReads {
  std::optional<PeDependencies> in_place;
  std::optional<PeDependencies> inflated;
};

BothReads ReadBoth(const std::vector<uint8_t>& image) {
  BothReads both;
  lumiset::MemoryFile plain(image);
  FileRangeReader in_place(plain);
  both.in_place = ReadPeDependencies(in_place);
  const std::vector<uint8_t> stream = lumiset::CompressZlib(image, 6);
  lumiset::MemoryFile compressed(stream);
  InflatedRangeReader inflated(compressed, 0, stream.size(), image.size());
  both.inflated = ReadPeDependencies(inflated);
  return both;
}

struct ReadCase {
  const char* name;
  TestPe spec;
  std::vector<std::string> imports;
  std::vector<std::string> delay_imports;
  std::optional<std::string> clr_version;  // unset: no CLR header
};

TEST(PeDependencies, ReadsTheTablesInPlaceAndFromAStream) {
  const ReadCase cases[] = {
      {"no imports", {}, {}, {}, std::nullopt},
      {"system imports",
       {.imports = {"KERNEL32.dll", "USER32.dll"}},
       {"KERNEL32.dll", "USER32.dll"},
       {},
       std::nullopt},
      {"64-bit with delay-loaded DLLs",
       {.is_64bit = true, .imports = {"kernel32.dll"}, .delay_imports = {"d3d9.dll", "extra.dll"}},
       {"kernel32.dll"},
       {"d3d9.dll", "extra.dll"},
       std::nullopt},
      {"a DLL named twice counts once",
       {.imports = {"KERNEL32.dll", "kernel32.DLL", "gdi32.dll"}},
       {"KERNEL32.dll", "gdi32.dll"},
       {},
       std::nullopt},
      {"bytes outside printable ASCII are shown as ?",
       {.imports = {"bad\x1b[2Jname.dll", "caf\xc3\xa9.dll"}},
       {"bad?[2Jname.dll", "caf??.dll"},
       {},
       std::nullopt},
      {".NET program",
       {.imports = {"mscoree.dll"}, .clr_version = "v4.0.30319"},
       {"mscoree.dll"},
       {},
       "v4.0.30319"},
      // Far past the headers, so that the stream is decoded in three passes.
      {"tables far into a large file",
       {.imports = {"user32.dll", "msvcp140.dll"}, .clr_version = "v2.0.50727", .lead = 300000,
        .tail = 200000},
       {"user32.dll", "msvcp140.dll"},
       {},
       "v2.0.50727"},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    const BothReads both = ReadBoth(MakeTestPe(c.spec));
    for (const std::optional<PeDependencies>* deps : {&both.in_place, &both.inflated}) {
      ASSERT_TRUE(deps->has_value());
      const PeDependencies& d = **deps;
      EXPECT_EQ(d.problem, "");
      EXPECT_EQ(d.headers.is_64bit, c.spec.is_64bit);
      EXPECT_EQ(d.headers.machine, c.spec.is_64bit ? 0x8664 : 0x14C);
      EXPECT_EQ(d.headers.subsystem, c.spec.subsystem);
      EXPECT_EQ(d.imports, c.imports);
      EXPECT_EQ(d.delay_imports, c.delay_imports);
      EXPECT_EQ(d.has_clr, c.clr_version.has_value());
      EXPECT_EQ(d.clr_version, c.clr_version.value_or(""));
    }
  }
}

// An image with two imports and a CLR header, to damage.
std::vector<uint8_t> Damageable() {
  return MakeTestPe({.imports = {"kernel32.dll", "user32.dll"}, .clr_version = "v4.0.30319"});
}

uint32_t DirectoryEntry(int index) { return kTestPeOptionalHeader + 96 + index * 8; }

// The file offset of the first import descriptor.
uint32_t FirstDescriptor(const std::vector<uint8_t>& image) {
  return LoadU32(&image[DirectoryEntry(1)]) - kTestPeSectionRva + kTestPeSectionRaw;
}

struct DamageCase {
  const char* name;
  std::function<void(std::vector<uint8_t>&)> damage;
  const char* problem;  // a part of the problem the reader reports
};

TEST(PeDependencies, ReportsTablesItCannotReadAndKeepsWhatItCould) {
  const DamageCase cases[] = {
      {"import table outside every section",
       [](std::vector<uint8_t>& b) { StoreU32(&b[DirectoryEntry(1)], 0x7FFF0000); },
       "import table lies outside"},
      {"a name outside every section",
       [](std::vector<uint8_t>& b) { StoreU32(&b[FirstDescriptor(b) + 12], 0x00900000); },
       "name lies outside"},
      {"a name without its end",
       [](std::vector<uint8_t>& b) {
         const uint32_t name = LoadU32(&b[FirstDescriptor(b) + 12]) - kTestPeSectionRva;
         for (size_t i = kTestPeSectionRaw + name; i < b.size(); ++i) b[i] = 'x';
       },
       "empty or has no end"},
      {"a table cut short by the file's end",
       [](std::vector<uint8_t>& b) {
         // No closing descriptor: the table runs on to the section's end.
         const uint32_t first = FirstDescriptor(b);
         for (uint32_t at = first + 40; at + 20 <= b.size(); at += 20) {
           StoreU32(&b[at + 12], LoadU32(&b[first + 12]));
           StoreU32(&b[at + 16], LoadU32(&b[first + 16]));
         }
       },
       "run past their section's end"},
  };
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> image = Damageable();
    c.damage(image);
    const BothReads both = ReadBoth(image);
    ASSERT_TRUE(both.in_place.has_value());
    ASSERT_TRUE(both.inflated.has_value());
    EXPECT_NE(both.in_place->problem.find(c.problem), std::string::npos)
        << both.in_place->problem;
    EXPECT_EQ(both.inflated->problem, both.in_place->problem);
    EXPECT_EQ(both.inflated->imports, both.in_place->imports);
  }
}

TEST(PeDependencies, StopsAtItsLimitOfDlls) {
  TestPe spec;
  for (size_t i = 0; i <= kMaxImportedDlls; ++i) spec.imports.push_back("d" + std::to_string(i));
  const BothReads both = ReadBoth(MakeTestPe(spec));
  ASSERT_TRUE(both.in_place.has_value());
  EXPECT_EQ(both.in_place->imports.size(), kMaxImportedDlls);
  EXPECT_NE(both.in_place->problem.find("more than 1024 DLLs"), std::string::npos);
}

TEST(PeDependencies, RefusesWhatIsNotAPeImage) {
  std::vector<uint8_t> image = Damageable();
  const std::function<void(std::vector<uint8_t>&)> damages[] = {
      [](std::vector<uint8_t>& b) { b[0] = 'X'; },
      [](std::vector<uint8_t>& b) { StoreU32(&b[0x3C], 0x7FFFFFF0); },
      [](std::vector<uint8_t>& b) { b[0x80] = 'X'; },
      [](std::vector<uint8_t>& b) { b.resize(0x100); },
      [](std::vector<uint8_t>& b) { lumiset::StoreU16(&b[kTestPeOptionalHeader], 0x999); },
      [](std::vector<uint8_t>& b) { lumiset::StoreU16(&b[0x80 + 6], 97); },
  };
  for (size_t i = 0; i < std::size(damages); ++i) {
    SCOPED_TRACE(i);
    std::vector<uint8_t> damaged = image;
    damages[i](damaged);
    const BothReads both = ReadBoth(damaged);
    EXPECT_FALSE(both.in_place.has_value());
    EXPECT_FALSE(both.inflated.has_value());
  }
}

TEST(PeDependencies, TakesNoMoreDirectoriesThanTheHeaderHolds) {
  // A PE32+ header of PE32 size holds 14 entries, so the CLR entry (the
  // fifteenth) lies beyond it, whatever NumberOfRvaAndSizes says.
  std::vector<uint8_t> image = MakeTestPe({.is_64bit = true, .clr_version = "v4.0.30319"});
  lumiset::StoreU16(&image[0x80 + 4 + 16], 224);
  // The section table moves up to the shorter header's end.
  std::copy(image.begin() + kTestPeOptionalHeader + 240, image.begin() + kTestPeOptionalHeader + 280,
            image.begin() + kTestPeOptionalHeader + 224);
  const BothReads both = ReadBoth(image);
  ASSERT_TRUE(both.in_place.has_value());
  EXPECT_EQ(both.in_place->headers.directories.size(), 14u);
  EXPECT_FALSE(both.in_place->has_clr);
}

TEST(InflatedRangeReader, DeliversOverlappingRangesAndCutsThemAtTheEnd) {
  std::vector<uint8_t> content(100000);
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<uint8_t>(i * 31 + i / 256);
  const std::vector<uint8_t> stream = lumiset::CompressZlib(content, 6);
  lumiset::MemoryFile file(stream);
  InflatedRangeReader reader(file, 0, stream.size(), content.size());
  const ByteRange ranges[] = {{70000, 100}, {10, 5}, {69990, 20}, {99990, 50}, {200000, 10}};
  std::vector<std::vector<uint8_t>> out;
  ASSERT_TRUE(reader.Read(ranges, out));
  ASSERT_EQ(out.size(), std::size(ranges));
  for (size_t i = 0; i < std::size(ranges); ++i) {
    const size_t begin = std::min<size_t>(ranges[i].offset, content.size());
    const size_t end = std::min<size_t>(ranges[i].offset + ranges[i].size, content.size());
    EXPECT_EQ(out[i], std::vector<uint8_t>(content.begin() + begin, content.begin() + end)) << i;
  }
}

TEST(InflatedRangeReader, FailsOnlyWhenDamageComesBeforeTheBytesAskedFor) {
  std::vector<uint8_t> content(200000);
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<uint8_t>((i * i) >> 7);
  std::vector<uint8_t> stream = lumiset::CompressZlib(content, 6);
  stream.resize(stream.size() / 2);  // cut in the middle
  lumiset::MemoryFile file(stream);
  InflatedRangeReader reader(file, 0, stream.size(), content.size());
  std::vector<std::vector<uint8_t>> out;
  const ByteRange early{0, 1000};
  ASSERT_TRUE(reader.Read({&early, 1}, out));
  EXPECT_EQ(out[0], std::vector<uint8_t>(content.begin(), content.begin() + 1000));
  const ByteRange late{190000, 1000};
  EXPECT_FALSE(reader.Read({&late, 1}, out));
}

PeDependencies Deps(const TestPe& spec) {
  const std::vector<uint8_t> image = MakeTestPe(spec);
  lumiset::MemoryFile file(image);
  FileRangeReader reader(file);
  return *ReadPeDependencies(reader);
}

struct LintCase {
  const char* name;
  TestPe spec;
  std::vector<std::string> rules;
  std::vector<std::string> says;  // a part of each finding's message, in order
};

TEST(ScreensaverLint, FindsWhatKeepsAScreensaverFromStartingWell) {
  const LintCase cases[] = {
      {"a GUI program of system DLLs and API sets",
       {.imports = {"KERNEL32.dll", "user32", "api-ms-win-crt-runtime-l1-1-0.dll",
                    "EXT-MS-WIN-NTUSER-WINDOW-L1-1-0.DLL", "msvcrt.dll", "WINSPOOL.DRV"},
        .delay_imports = {"d3d11.dll"}},
       {},
       {}},
      {"a console program",
       {.subsystem = 3},
       {"subsystem"},
       {"is a console program (subsystem 3): Windows opens a console window"}},
      {"a native program",
       {.subsystem = 1},
       {"subsystem"},
       {"has subsystem 1 (native), not the Windows GUI subsystem (2)"}},
      {"runtimes Windows does not ship",
       {.imports = {"kernel32.dll", "MSVCP140.dll", "libstdc++-6.dll", "d3dx9_43.dll", "foo.dll"}},
       {"dll", "dll", "dll", "dll"},
       {"imports MSVCP140.dll, which Windows does not ship: the installer copies only the .scr "
        "into the system folder, so the screensaver does not start wherever MSVCP140.dll is "
        "missing; it is part of the Visual C++ runtime: build with the static runtime (/MT)",
        "link with -static", "DirectX redistributable", "foo.dll is missing; link that code "
        "statically"}},
      {"a delay-loaded DLL",
       {.delay_imports = {"vcruntime140.dll"}},
       {"dll"},
       {"loads vcruntime140.dll when it first needs it, which Windows does not ship"}},
      {".NET Framework 4",
       {.imports = {"mscoree.dll"}, .clr_version = "v4.0.30319"},
       {"dotnet"},
       {"is a .NET program (metadata version v4.0.30319): it needs .NET Framework 4"}},
      {".NET Framework 2.0", {.clr_version = "v2.0.50727"}, {"dotnet"}, {"NET Framework 3.5"}},
      {".NET Framework 1.1", {.clr_version = "v1.1.4322"}, {"dotnet"}, {".NET Framework 1.x"}},
      {"an unknown runtime", {.clr_version = "Mono 9"}, {"dotnet"}, {"needs a .NET runtime"}},
  };
  for (const LintCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<LintFinding> findings = LintScreensaver(Deps(c.spec), Arch::kX86);
    ASSERT_EQ(findings.size(), c.rules.size());
    for (size_t i = 0; i < findings.size(); ++i) {
      EXPECT_EQ(findings[i].rule, c.rules[i]);
      EXPECT_NE(findings[i].message.find(c.says[i]), std::string::npos) << findings[i].message;
    }
  }
}

TEST(ScreensaverLint, NamesAMachineOtherThanTheStubs) {
  struct Case {
    bool is_64bit;
    uint16_t machine;
    std::optional<Arch> stub;  // unset: no stub to compare with
    const char* message;       // empty: nothing found
  };
  const Case cases[] = {
      {true, 0x8664, Arch::kX64, ""},
      {false, 0x14C, Arch::kX86, ""},
      {true, 0x8664, std::nullopt, ""},
      {true, 0x8664, Arch::kX86,
       "is a 64-bit PE image (x64), but the stub is a 32-bit (x86) program, which also installs "
       "it on 32-bit Windows, where it cannot run; use the 64-bit stub (--arch x64)"},
      {false, 0x14C, Arch::kX64,
       "is a 32-bit PE image (x86), but the stub is a 64-bit (x64) program, which installs it on "
       "64-bit Windows only; use the 32-bit stub (--arch x86), which installs it on every "
       "Windows"},
      {true, 0xAA64, Arch::kX64,
       "is a 64-bit PE image (machine 0xAA64), but the stub is a 64-bit (x64) program, whose "
       "Windows may not run it; pack it with a stub of its own architecture"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    std::vector<uint8_t> image = MakeTestPe({.is_64bit = c.is_64bit});
    lumiset::StoreU16(&image[0x84], c.machine);
    lumiset::MemoryFile file(image);
    FileRangeReader reader(file);
    const std::vector<LintFinding> findings = LintScreensaverBytes(reader, c.stub);
    if (*c.message == 0) {
      EXPECT_TRUE(findings.empty());
      continue;
    }
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].rule, "machine");
    EXPECT_EQ(findings[0].message, c.message);
  }
}

TEST(ScreensaverLint, SaysWhenTheTablesCannotBeRead) {
  std::vector<uint8_t> image = Damageable();
  StoreU32(&image[DirectoryEntry(1)], 0x7FFF0000);
  lumiset::MemoryFile file(image);
  FileRangeReader reader(file);
  const std::vector<LintFinding> findings = LintScreensaverBytes(reader, Arch::kX86);
  ASSERT_EQ(findings.size(), 2u);
  EXPECT_EQ(findings[0].rule, "dotnet");
  EXPECT_EQ(findings[1].rule, "tables");
  EXPECT_EQ(findings[1].message,
            "its DLL tables cannot all be read (its import table lies outside the file's "
            "sections), so the DLLs it needs are not all checked");
}

}  // namespace
}  // namespace lumipack::testing
