#include <gtest/gtest.h>

#include "net/qos_format.h"
#include "net/qos_reporter.h"
#include "net/qos_system.h"

TEST(QosUrl, ExactRecord) {
  QosReporter r;
  r.url = "http://stats.example/qos";
  r.sQosSeq = "0123456789abcdef0123456789abcdef";
  r.skey = "sk1";
  r.uid = "42";
  r.version = "install-v1.0.0.1";
  r.plat = "pc";
  EXPECT_EQ(FormatQosUrl(r, 11, "DownloadPkgOk", "Windows10", 7),
            "http://stats.example/qos?data=KZ={G:1;S:0123456789abcdef0123456789abcdef;W:sk1;U:0;"
            "N:42;T:11;DownloadPkgOk;AGENT:;OS:Windows10;J:7;V:install-v1.0.0.1;PLAT:pc;}");
}

TEST(QosUrl, EmptyValuesLeaveEmptyItems) {
  QosReporter r;
  r.url = "u";
  EXPECT_EQ(FormatQosUrl(r, 3, "Tokenstart", "Windows7", 0),
            "u?data=KZ={G:1;S:;W:;U:0;N:;T:3;Tokenstart;AGENT:;OS:Windows7;J:0;V:;PLAT:;}");
}

TEST(QosUrl, CutToTheFixedBuffer) {
  QosReporter r;
  r.url = "http://h/q";
  r.uid = std::string(5000, 'u');
  std::string url = FormatQosUrl(r, 3, "Tokenstart", "Windows10", 0);
  EXPECT_EQ(url.size(), 4095u);
  EXPECT_EQ(url.substr(0, 45), "http://h/q?data=KZ={G:1;S:;W:;U:0;N:uuuuuuuuu");
}

TEST(QosOsName, KnownVersions) {
  EXPECT_EQ(OsNameFor(5, 0), "Windows2000");
  EXPECT_EQ(OsNameFor(5, 1), "WindowsXP");
  EXPECT_EQ(OsNameFor(5, 2), "Windows2003");
  EXPECT_EQ(OsNameFor(6, 0), "WindowsVista");
  EXPECT_EQ(OsNameFor(6, 1), "Windows7");
  EXPECT_EQ(OsNameFor(6, 2), "Windows8");
  EXPECT_EQ(OsNameFor(6, 3), "Windows8_1");
  EXPECT_EQ(OsNameFor(10, 0), "Windows10");
  EXPECT_EQ(OsNameFor(10, 7), "Windows10");
}

TEST(QosOsName, UnknownVersionsNameBothNumbers) {
  EXPECT_EQ(OsNameFor(11, 0), "OSmajor_11_minor_0");
  EXPECT_EQ(OsNameFor(6, 4), "OSmajor_6_minor_4");
  EXPECT_EQ(OsNameFor(5, 3), "OSmajor_5_minor_3");
  EXPECT_EQ(OsNameFor(0, 0), "OSmajor_0_minor_0");
}

TEST(QosAddress, BytesJoinedByDashes) {
  const unsigned char mac[] = {0x00, 0x1a, 0x2B, 0xc3, 0x04, 0xFF};
  EXPECT_EQ(FormatAdapterAddress(mac, 6), "00-1A-2B-C3-04-FF");
  EXPECT_EQ(FormatAdapterAddress(mac, 1), "00");
  EXPECT_EQ(FormatAdapterAddress(mac, 0), "");
}

TEST(QosSequence, Md5OfTheRfcSuite) {
  // RFC 1321 test suite values.
  EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
            "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(QosSequence, Md5AcrossBlockAndPaddingEdges) {
  // Lengths where the length field still fits the last block (55) or needs
  // another (56), and around whole blocks; references from Python's hashlib.
  const struct {
    size_t size;
    const char* md5;
  } cases[] = {
      {55, "6912ee65fff2d9f9ce2508cddf8bcda0"},  {56, "51fdd1acda72405dfdfa03fcb85896d7"},
      {63, "48a6295221902e8e0938f773a7185e72"},  {64, "b2d3f56bc197fd985d5965079b5e7148"},
      {65, "8bd7053801c768420faf816fadba971c"},  {119, "1c772251899a7ff007400b888d6b2042"},
      {120, "b7ba1efc6022e9ed272f00b8831e26e6"}, {128, "37eff01866ba3f538421b30b7cbefcac"},
  };
  std::string counting;
  for (int i = 0; i < 128; ++i) counting += static_cast<char>(i);
  for (const auto& c : cases) EXPECT_EQ(Md5Hex(counting.substr(0, c.size)), c.md5) << c.size << " bytes";

  std::string large;
  for (int i = 0; i < 100000; ++i) large += static_cast<char>(i % 251);
  EXPECT_EQ(Md5Hex(large), "28cb595c158e9b74e34ae9e8da710fff");
}

TEST(QosSystem, TestProgramHasNoLauncherVersion) {
  // The version comes from the executable's own resource, which only the launcher carries.
  EXPECT_EQ(LauncherFileVersion(), "");
}
