// A real code signature (osslsigncode, a throwaway self-signed certificate
// made here) appends a certificate table after the package; the package must
// still be found through the PE header's certificate entry.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/memory_file.h"
#include "package/package_format.h"
#include "support/test_package.h"

namespace lumiset {
namespace {

namespace fs = std::filesystem;

bool HaveTool(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(SignedInstaller, RealSignatureKeepsThePackageReachable) {
  if (!HaveTool("osslsigncode") || !HaveTool("openssl")) GTEST_SKIP() << "signing tools missing";
  char pattern[] = "/tmp/lumiset-sign-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const fs::path dir = pattern;

  testing::TestPackage pkg;
  pkg.screensaver = std::vector<uint8_t>(70000, 0x33);
  pkg.companion = {'c', 'o', 'm', 'p'};
  const std::vector<uint8_t> installer = testing::BuildInstaller(pkg);
  {
    std::ofstream out(dir / "in.exe", std::ios::binary);
    out.write(reinterpret_cast<const char*>(installer.data()),
              static_cast<std::streamsize>(installer.size()));
  }
  const std::string d = dir.string();
  const std::string commands =
      "cd " + d + " && openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=LumisetTest -days 2 "
      "-keyout key.pem -out cert.pem >/dev/null 2>&1 && osslsigncode sign -certs cert.pem "
      "-key key.pem -in in.exe -out signed.exe >/dev/null 2>&1";
  ASSERT_EQ(std::system(commands.c_str()), 0);
  const std::vector<uint8_t> signed_bytes = ReadFile(dir / "signed.exe");
  fs::remove_all(dir);

  ASSERT_GT(signed_bytes.size(), installer.size());
  MemoryFile file(signed_bytes);
  StatusOr<PackageLocation> where = LocatePackage(file);
  ASSERT_TRUE(where);
  EXPECT_NE(where->pe.cert_offset, 0u);
  EXPECT_EQ(where->trailer_offset + 4, where->pe.cert_offset);
  StatusOr<PackageItems> items = ReadPackageItems(file, *where);
  ASSERT_TRUE(items);
  EXPECT_EQ(items->companion_item, pkg.companion);
  VectorSink sink;
  const std::span<const uint8_t> block(signed_bytes.data() + items->data_offset,
                                       items->data_end - items->data_offset);
  EXPECT_EQ(DecodeBlock(block, sink, UINT32_MAX), DecodeStatus::kOk);
  EXPECT_EQ(sink.bytes(), pkg.screensaver) << "the certificate after the block is ignored";
}

}  // namespace
}  // namespace lumiset
