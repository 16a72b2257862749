// A publication the launcher verifies: the package's checksum, a bad
// checksum value, and the install configuration signed with the publisher's
// key, as a launcher built with that key meets them.
#include <windows.h>
#include <bcrypt.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "base/bcrypt_handles.h"
#include "base/sha256.h"
#include "base/text.h"
#include "support/game_server.h"
#include "game_publication.h"
#include "support/launcher_harness.h"
#include "support/files.h"
#include "support/log_reader.h"
#include "support/registry.h"
#include "support/wine_path.h"

namespace e2e {
namespace {

const char kConfigPath[] = "/pkg/vorn_install_cfg.ini";

std::string Sha256Hex(const std::string& bytes) {
  Sha256Digest digest;
  std::string error;
  EXPECT_TRUE(Sha256OfBytes(bytes, &digest, &error)) << error;
  return Sha256Text(digest);
}

// A DER INTEGER of a big-endian unsigned number.
std::string DerInteger(const UCHAR* bytes, size_t size) {
  size_t skip = 0;
  while (skip + 1 < size && bytes[skip] == 0) ++skip;
  std::string value(reinterpret_cast<const char*>(bytes) + skip, size - skip);
  if (static_cast<UCHAR>(value[0]) & 0x80) value.insert(0, 1, '\0');
  return std::string("\x02", 1) + static_cast<char>(value.size()) + value;
}

// Signs like "openssl dgst -sha256 -sign <name>.key": the test keys are
// throw-away pairs that the build made (tests/signed), read here in their
// SEC1 DER form, whose layout is fixed for P-256.
std::string SignWith(const std::string& keyName, const std::string& data) {
  std::string der = ReadFileBytes(support::WinePath(VORN_TEST_KEY_DIR) + L"\\" + base::ToWide(keyName) + L".der");
  if (der.size() != 121 || der.compare(0, 7, "\x30\x77\x02\x01\x01\x04\x20", 7) != 0 ||
      der.compare(53, 4, "\x03\x42\x00\x04", 4) != 0) {
    ADD_FAILURE() << "unexpected key file " << keyName;
    return "";
  }
  std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 96);
  BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PRIVATE_P256_MAGIC, 32};
  std::memcpy(blob.data(), &header, sizeof header);
  std::memcpy(blob.data() + sizeof header, der.data() + 57, 64);      // X, Y
  std::memcpy(blob.data() + sizeof header + 64, der.data() + 7, 32);  // d
  base::UniqueAlgorithm algorithm;
  base::UniqueCryptKey key;
  EXPECT_TRUE(BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(algorithm.Put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0)));
  EXPECT_TRUE(BCRYPT_SUCCESS(BCryptImportKeyPair(algorithm.Get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, key.Put(),
                                                 blob.data(), static_cast<ULONG>(blob.size()), 0)));
  Sha256Digest digest;
  std::string error;
  EXPECT_TRUE(Sha256OfBytes(data, &digest, &error));
  UCHAR raw[64];
  ULONG size = 0;
  EXPECT_TRUE(BCRYPT_SUCCESS(BCryptSignHash(key.Get(), nullptr, digest.data(), 32, raw, sizeof raw, &size, 0)));
  std::string body = DerInteger(raw, 32) + DerInteger(raw + 32, 32);
  return std::string("\x30", 1) + static_cast<char>(body.size()) + body;
}

class VerifiedPublication : public WorkflowTest {
 protected:
  void SetUp() override {
    WorkflowTest::SetUp();
    if (HasFatalFailure()) return;
    support::DeleteRegistryTree(HKEY_CURRENT_USER, SerialKey());
    PublishReply("tok", "uid=1&skey=s");
    Unpublish(std::string(kConfigPath) + ".sig");
  }
  void TearDown() override {
    Unpublish(std::string(kConfigPath) + ".sig");
    support::DeleteRegistryTree(HKEY_CURRENT_USER, SerialKey());
    WorkflowTest::TearDown();
  }

  std::wstring SerialKey() const { return L"Software\\Vorn\\" + wideInstallName; }
  // The serial the launcher keeps for this installation; empty when none.
  std::wstring KeptSerial() const {
    return support::ReadRegistryValue(HKEY_CURRENT_USER, SerialKey(), L"configSerial").Text();
  }

  // Everything a launcher with the publisher key demands besides the
  // signature: the checksums of the package of `version` (published here),
  // of the logo and (in micro-client mode) of the shell and its
  // configuration, the package version and the serial.
  void CoverEverything(int version, int serial) {
    PublishPackage(version);
    config["pkgSha256"] = Sha256Hex(PublishedPackage(version));
    config["launcherLogoSha256"] = Sha256Hex(logoBytes);
    if (config.count("weiduanUrl")) {
      config["weiduanSha256"] = Sha256Hex(gameExe);
      config["weiduanCfgSha256"] = Sha256Hex("[shell]\n");
    }
    config["pkgVersion"] = std::to_string(version);
    config["configSerial"] = std::to_string(serial);
    ASSERT_TRUE(ResetServer());  // the package fetched for its checksum is not the launcher's request
  }
  // Publishes the configuration and its signature by the publisher.
  void PublishSigned() {
    PublishConfig();
    ASSERT_TRUE(gameserver::Publish(std::string(kConfigPath) + ".sig", SignWith("publisher", ConfigText())));
  }
  // Nothing but the configuration and its signature was asked for, and nothing reported.
  void ExpectNothingElseFetched(const RunResult& run) {
    EXPECT_EQ(gameserver::Requests(kConfigPath).size(), 2u);
    EXPECT_TRUE(gameserver::Requests("/" + installName).empty());
    EXPECT_TRUE(ReportIds().empty());
    EXPECT_EQ(run.log.find("enter download launcher logo state"), std::string::npos);
  }

  // The configuration exactly as PublishConfig writes it.
  std::string ConfigText() const {
    std::string text = "[common]\n";
    for (const auto& kv : config) text += kv.first + "=" + kv.second + "\n";
    return text;
  }
  std::string PublishedPackage(int version) {
    std::string zip;
    EXPECT_TRUE(gameserver::Get(PackagePath(version), &zip));
    return zip;
  }
  std::wstring SignedLauncher() const { return support::WinePath(VORN_SIGNED_LAUNCHER_EXE); }
};

TEST_F(VerifiedPublication, PackageChecksumMatchUnpacks) {
  std::string older = "104";
  PrepareInstallFolder(&older);
  PublishServerVersion("105");
  PublishPackage(105);
  std::string sum = Sha256Hex(PublishedPackage(105));
  std::string upper = sum;
  for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  config["pkgSha256"] = upper;  // either case
  PublishConfig();
  RunResult run = Run(L"vorn-pc-tok.exe");
  ASSERT_TRUE(run.ended);
  EXPECT_TRUE(run.boxes.empty()) << base::Utf8(run.boxes.front());
  EXPECT_NE(run.log.find("package checksum verified: sha256 " + sum + ", url: " +
                         gameserver::ServerUrl(PackagePath(105)) + "\n"),
            std::string::npos)
      << run.log;
  EXPECT_EQ(ReadFileBytes(InstallDir() + L"game\\data.bin"), packageData);
  EXPECT_EQ(ReadFileBytes(InstallDir() + L"pkg.ver"), "105");
  std::vector<std::string> states = StatesEntered(run.log);
  auto at = [&](const char* name) { return std::find(states.begin(), states.end(), name) - states.begin(); };
  EXPECT_LT(at("enter download client state"), at("enter PkgChecksumState"));
  EXPECT_LT(at("enter PkgChecksumState"), at("enter DecompressState"));
  std::vector<int> ids = ReportIds();
  EXPECT_EQ(std::count(ids.begin(), ids.end(), 11), 1);
  EXPECT_EQ(std::count(ids.begin(), ids.end(), 12), 0);
}

TEST_F(VerifiedPublication, PackageChecksumMismatchDeletesTheArchiveAndUnpacksNothing) {
  std::string older = "104";
  PrepareInstallFolder(&older);
  PublishServerVersion("105");
  PublishPackage(105);
  std::string actual = Sha256Hex(PublishedPackage(105));
  std::string expected = Sha256Hex("another package");
  config["pkgSha256"] = expected;
  PublishConfig();
  RunResult run = Run(L"vorn-pc-tok.exe");
  ASSERT_TRUE(run.ended);
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(base::Utf8(run.boxes[0]), "下载游戏包失败！[error:package checksum mismatch, expected " + expected +
                                      ", got " + actual + ", url: " + gameserver::ServerUrl(PackagePath(105)) + "]");
  EXPECT_EQ(GetFileAttributesW((InstallDir() + L"game.pkg.downloading").c_str()), INVALID_FILE_ATTRIBUTES);
  // Its resume record goes with it: a later run neither resumes nor trusts it.
  EXPECT_EQ(GetFileAttributesW((InstallDir() + L"game.pkg.downloading.resume").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesW((InstallDir() + L"game\\data.bin").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(ReadFileBytes(InstallDir() + L"pkg.ver"), "104");
  EXPECT_EQ(run.log.find("enter DecompressState"), std::string::npos);
  std::vector<int> ids = ReportIds();
  std::vector<int> package;
  for (int id : ids)
    if (id >= 10 && id <= 12) package.push_back(id);
  std::sort(package.begin(), package.end());  // sent in one moment, they may arrive either way round
  EXPECT_EQ(package, (std::vector<int>{10, 12}));
}

TEST_F(VerifiedPublication, PackageMismatchInMicroClientModeLaunchesTheShellWithoutUser) {
  UseMicroClientMode();
  std::string older = "104";
  PrepareInstallFolder(&older);
  PublishServerVersion("105");
  PublishPackage(105);
  config["pkgSha256"] = Sha256Hex("another package");
  PublishConfig();
  RunResult run = Run(L"vorn-pc-tok.exe");
  ASSERT_TRUE(run.ended);
  // Like a failed package download in this mode: no box, the shell alone.
  EXPECT_TRUE(run.boxes.empty()) << base::Utf8(run.boxes.front());
  EXPECT_NE(run.log.find("下载游戏包失败！[error:package checksum mismatch, expected " + config["pkgSha256"]),
            std::string::npos)
      << run.log;
  EXPECT_EQ(run.log.find("enter DecompressState"), std::string::npos);
  EXPECT_EQ(run.log.find("LaunchGameStart"), std::string::npos);
  ASSERT_TRUE(WaitForFileContaining(InstallDir() + L"shell.exe.cmdline.txt", "\n"));
  EXPECT_EQ(ReadFileBytes(InstallDir() + L"shell.exe.cmdline.txt"), "5\tpc\n");
  EXPECT_EQ(ReadFileBytes(InstallDir() + L"pkg.ver"), "104");
  EXPECT_EQ(GetFileAttributesW((InstallDir() + L"game.pkg.downloading").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(VerifiedPublication, BadChecksumValueRefusesTheConfiguration) {
  for (const char* key : {"pkgSha256", "weiduanSha256", "weiduanCfgSha256"}) {
    SCOPED_TRACE(key);
    ASSERT_TRUE(ResetServer());
    config.erase("pkgSha256");
    config.erase("weiduanSha256");
    config.erase("weiduanCfgSha256");
    config[key] = std::string(63, 'a') + "g";
    PublishConfig();
    RunResult run = Run(L"vorn-pc-tok.exe");
    ASSERT_TRUE(run.ended);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(base::Utf8(run.boxes[0]), std::string("解析安装配置失败！[error:bad ") + key + ": " + config[key] + "]");
    EXPECT_TRUE(ReportIds().empty());
  }
}

TEST_F(VerifiedPublication, SignedConfigurationIsAccepted) {
  std::string current = "105";
  PrepareInstallFolder(&current);
  PublishServerVersion("105");
  CoverEverything(105, 30);
  PublishSigned();

  RunResult run = Run(L"vorn-pc-tok.exe", L"", SignedLauncher());
  ASSERT_TRUE(run.ended);
  EXPECT_TRUE(run.boxes.empty()) << base::Utf8(run.boxes.front());
  EXPECT_NE(run.log.find("install configuration signature verified\n"), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("enter LoadState"), std::string::npos) << run.log;
  // The signature is asked for with the configuration's own query.
  std::vector<gameserver::RequestLine> cfg = gameserver::Requests(kConfigPath);
  ASSERT_EQ(cfg.size(), 2u);
  EXPECT_EQ(cfg[1].target, std::string(kConfigPath) + ".sig" + cfg[0].target.substr(strlen(kConfigPath)));
  EXPECT_EQ(cfg[0].target.compare(0, strlen(kConfigPath) + 3, std::string(kConfigPath) + "?v="), 0);
  EXPECT_EQ(KeptSerial(), L"30");

  // A launcher built without a key asks for no signature.
  ASSERT_TRUE(ResetServer());
  run = Run(L"vorn-pc-tok.exe");
  ASSERT_TRUE(run.ended);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_EQ(gameserver::Requests(kConfigPath).size(), 1u);
  EXPECT_EQ(run.log.find("signature"), std::string::npos);
  EXPECT_EQ(run.log.find("configuration serial"), std::string::npos);
}

TEST_F(VerifiedPublication, TamperedOtherKeyAndMissingSignatureAreRefused) {
  std::string current = "105";
  PrepareInstallFolder(&current);
  PublishServerVersion("105");
  const std::string signedText = ConfigText();
  struct Case {
    const char* why;
    std::string signature;  // empty: none published
    bool tamper;
    std::string reason;
  } cases[] = {
      {"tampered", SignWith("publisher", signedText), true, "signature does not match the publisher key"},
      {"other key", SignWith("other", signedText), false, "signature does not match the publisher key"},
      {"not a signature", "<html>404</html>", false, "signature is not DER: SEQUENCE expected"},
      {"missing", "", false,
       "signature not fetched: http response failed, isrun:1, res:NULL, status: 404, url: " +
           gameserver::ServerUrl(std::string(kConfigPath) + ".sig?v=")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    ASSERT_TRUE(ResetServer());
    Unpublish(std::string(kConfigPath) + ".sig");
    if (!c.signature.empty()) {
      ASSERT_TRUE(gameserver::Publish(std::string(kConfigPath) + ".sig", c.signature));
    }
    std::map<std::string, std::string> saved = config;
    if (c.tamper) config["pkgUrl"] = gameserver::ServerUrl("/elsewhere/game-%d.zip");
    PublishConfig();
    config = saved;

    RunResult run = Run(L"vorn-pc-tok.exe", L"", SignedLauncher());
    ASSERT_TRUE(run.ended);
    ASSERT_EQ(run.boxes.size(), 1u);
    std::string box = base::Utf8(run.boxes[0]);
    std::string expected = "验证安装配置失败！[error:" + c.reason;
    EXPECT_EQ(box.compare(0, expected.size(), expected), 0) << box;
    EXPECT_EQ(box.back(), ']');
    // Nothing else was fetched, and nothing reported.
    EXPECT_EQ(gameserver::Requests(kConfigPath).size(), 2u);
    EXPECT_TRUE(gameserver::Requests("/" + installName).empty());
    EXPECT_TRUE(ReportIds().empty());
    EXPECT_NE(run.log.find("enter DownloadConfig succ\n"), std::string::npos);
    EXPECT_EQ(run.log.find("qosUrl"), std::string::npos);
    EXPECT_EQ(run.log.find("enter download launcher logo state"), std::string::npos);
  }
}

TEST_F(VerifiedPublication, KeyedLauncherRefusesWhatTheSignatureLeavesUncovered) {
  UseMicroClientMode();
  std::string current = "105";
  PrepareInstallFolder(&current);
  PublishServerVersion("105");
  CoverEverything(105, 40);
  const std::map<std::string, std::string> complete = config;
  struct Case {
    const char* drop;
    const char* reason;
  } cases[] = {
      {"pkgSha256", "pkgUrl has no pkgSha256"},
      {"weiduanSha256", "weiduanUrl has no weiduanSha256"},
      {"weiduanCfgSha256", "weiduanCfgUrl has no weiduanCfgSha256"},
      {"launcherLogoSha256", "launcherLogo has no launcherLogoSha256"},
      {"configSerial", "no configSerial"},
      {"pkgVersion", "no pkgVersion"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.drop);
    ASSERT_TRUE(ResetServer());
    config = complete;
    config.erase(c.drop);
    PublishSigned();
    RunResult run = Run(L"vorn-pc-tok.exe", L"", SignedLauncher());
    ASSERT_TRUE(run.ended);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(base::Utf8(run.boxes[0]), std::string("验证安装配置失败！[error:") + c.reason + "]");
    EXPECT_NE(run.log.find("install configuration signature verified\n"), std::string::npos) << run.log;
    ExpectNothingElseFetched(run);
    EXPECT_EQ(KeptSerial(), L"");
  }
}

TEST_F(VerifiedPublication, ReplayedOlderSerialIsRefusedAndTheInstallLeftAsItWas) {
  PrepareInstallFolder(nullptr);
  PublishServerVersion("105");
  CoverEverything(105, 20);
  const std::map<std::string, std::string> current = config;
  const std::string currentData = packageData;
  PublishSigned();
  RunResult run = Run(L"vorn-pc-tok.exe", L"", SignedLauncher());
  ASSERT_TRUE(run.ended);
  ASSERT_TRUE(run.boxes.empty()) << base::Utf8(run.boxes.front());
  ASSERT_EQ(ReadFileBytes(InstallDir() + L"pkg.ver"), "105");
  EXPECT_EQ(KeptSerial(), L"20");

  // An older publication, genuinely signed in its day, served again with its
  // version answer and its package.
  ASSERT_TRUE(ResetServer());
  PublishServerVersion("104");
  CoverEverything(104, 19);
  PublishSigned();
  run = Run(L"vorn-pc-tok.exe", L"", SignedLauncher());
  ASSERT_TRUE(run.ended);
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(base::Utf8(run.boxes[0]), "验证安装配置失败！[error:configuration serial 19 is older than 20]");
  ExpectNothingElseFetched(run);
  EXPECT_EQ(ReadFileBytes(InstallDir() + L"pkg.ver"), "105");
  EXPECT_EQ(ReadFileBytes(InstallDir() + L"game\\data.bin"), currentData);
  EXPECT_EQ(KeptSerial(), L"20");

  // The current one again (a rerun) is accepted; a newer one raises the kept serial.
  for (int serial : {20, 21}) {
    SCOPED_TRACE(serial);
    ASSERT_TRUE(ResetServer());
    PublishServerVersion("105");
    config = current;
    config["configSerial"] = std::to_string(serial);
    PublishSigned();
    run = Run(L"vorn-pc-tok.exe", L"", SignedLauncher());
    ASSERT_TRUE(run.ended);
    EXPECT_TRUE(run.boxes.empty()) << base::Utf8(run.boxes.front());
    EXPECT_NE(run.log.find("configuration serial " + std::to_string(serial) + " accepted\n"), std::string::npos);
    EXPECT_NE(run.log.find("enter LoadState"), std::string::npos) << run.log;
    EXPECT_EQ(KeptSerial(), std::to_wstring(serial));
  }
}

TEST_F(VerifiedPublication, VersionAnswerOtherThanTheSignedOneDownloadsNothing) {
  std::string older = "104";
  for (const char* answer : {"0", "2147483647", "106"}) {
    SCOPED_TRACE(answer);
    ASSERT_TRUE(ResetServer());
    PrepareInstallFolder(&older);
    PublishServerVersion(answer);
    CoverEverything(105, 50);
    PublishPackage(106);  // what a lying answer would have fetched
    PublishSigned();
    RunResult run = Run(L"vorn-pc-tok.exe", L"", SignedLauncher());
    ASSERT_TRUE(run.ended);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(base::Utf8(run.boxes[0]),
              std::string("下载版本号失败！[error:server version ") + answer + " differs from the signed version 105]");
    EXPECT_TRUE(gameserver::Requests("/" + installName + "/game-").empty());
    EXPECT_EQ(GetFileAttributesW((InstallDir() + L"game.pkg.downloading").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadFileBytes(InstallDir() + L"pkg.ver"), "104");
  }

  // The signed version, with a line end, is fetched, and "pkg.ver" holds the signed value.
  ASSERT_TRUE(ResetServer());
  PublishServerVersion("105\r\n");
  CoverEverything(105, 50);
  PublishSigned();
  RunResult run = Run(L"vorn-pc-tok.exe", L"", SignedLauncher());
  ASSERT_TRUE(run.ended);
  EXPECT_TRUE(run.boxes.empty()) << base::Utf8(run.boxes.front());
  EXPECT_EQ(ReadFileBytes(InstallDir() + L"pkg.ver"), "105");
  EXPECT_EQ(ReadFileBytes(InstallDir() + L"game\\data.bin"), packageData);
}

TEST_F(VerifiedPublication, WrongLogoIsNotShownAndTheInstallGoesOn) {
  std::string older = "104";
  PrepareInstallFolder(&older);
  PublishServerVersion("105");
  CoverEverything(105, 60);
  const std::string expected = Sha256Hex("the published logo");
  config["launcherLogoSha256"] = expected;
  PublishSigned();
  RunResult run = Run(L"vorn-pc-tok.exe", L"", SignedLauncher());
  ASSERT_TRUE(run.ended);
  EXPECT_TRUE(run.boxes.empty()) << base::Utf8(run.boxes.front());
  EXPECT_NE(run.log.find("launcher logo not shown: checksum mismatch, expected " + expected + ", got " +
                         Sha256Hex(logoBytes) + ", url: " + config["launcherLogo"] + "\n"),
            std::string::npos)
      << run.log;
  // The picture never reached the decoder, and is gone.
  EXPECT_EQ(GetFileAttributesW((TempFolder() + L"/vorn-logo.png").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(ReadFileBytes(InstallDir() + L"pkg.ver"), "105");
  EXPECT_EQ(ReadFileBytes(InstallDir() + L"game\\data.bin"), packageData);
  EXPECT_EQ(ReportsWithId(26).size(), 1u) << "the game was not started";
}

}  // namespace
}  // namespace e2e
