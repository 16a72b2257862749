#include "game_publication.h"

#include <objidl.h>  // gdiplus.h needs it under WIN32_LEAN_AND_MEAN
#include <gdiplus.h>
#include <shlobj.h>

#include <cstdlib>

#include "base/fs.h"
#include "base/handles.h"
#include "base/text.h"
#include "support/game_server.h"
#include "test_game.h"
#include "zip_writer.h"

namespace e2e {

std::vector<int> ReportIds() {
  std::vector<int> ids;
  for (const std::string& line : gameserver::QosLines())
    ids.push_back(std::atoi(gameserver::QosField(line, "T").c_str()));
  return ids;
}

std::vector<std::string> ReportsWithId(int eventId) {
  std::vector<std::string> out;
  for (const std::string& line : gameserver::QosLines())
    if (gameserver::QosField(line, "T") == std::to_string(eventId)) out.push_back(line);
  return out;
}

bool ResetServer() { return gameserver::Get("/__control/reset?logs=1"); }

void Unpublish(const std::string& path) {
  std::wstring full = gameserver::ServerRoot() + base::ToWide(path);
  for (wchar_t& c : full)
    if (c == L'/') c = L'\\';
  DeleteFileW(full.c_str());
}

// ---- Archives and pictures ----

namespace {

class GdiplusScope {
 public:
  GdiplusScope() {
    Gdiplus::GdiplusStartupInput input;
    ok_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
  }
  ~GdiplusScope() {
    if (ok_) Gdiplus::GdiplusShutdown(token_);
  }

 private:
  ULONG_PTR token_ = 0;
  bool ok_ = false;
};

bool PngEncoder(CLSID* clsid) {
  UINT count = 0;
  UINT size = 0;
  if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
  std::vector<BYTE> buffer(size);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (std::wstring(codecs[i].MimeType) == L"image/png") {
      *clsid = codecs[i].Clsid;
      return true;
    }
  }
  return false;
}

bool SaveBitmapPng(Gdiplus::Bitmap& bitmap, const std::wstring& path) {
  CLSID png;
  return PngEncoder(&png) && bitmap.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
}

}  // namespace

std::string MakePng(int width, int height, uint32_t argb) {
  GdiplusScope gdiplus;
  std::wstring path = TempFolder() + L"vorn-e2e-logo.png";
  {
    Gdiplus::Bitmap bitmap(width, height, PixelFormat32bppARGB);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) bitmap.SetPixel(x, y, Gdiplus::Color(argb));
    if (!SaveBitmapPng(bitmap, path)) return std::string();
  }
  std::string bytes = ReadFileBytes(path);
  DeleteFileW(path.c_str());
  return bytes;
}

bool SavePng(const Capture& capture, const std::wstring& path) {
  GdiplusScope gdiplus;
  Gdiplus::Bitmap bitmap(capture.width, capture.height, PixelFormat32bppRGB);
  for (int y = 0; y < capture.height; ++y)
    for (int x = 0; x < capture.width; ++x)
      bitmap.SetPixel(x, y, Gdiplus::Color(0xFF000000u | capture.At(x, y)));
  return SaveBitmapPng(bitmap, path);
}

bool CaptureWindow(HWND window, Capture* capture) {
  RECT rect{};
  if (!GetWindowRect(window, &rect)) return false;
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;
  base::WindowDc screen(nullptr);
  base::UniqueMemoryDc memory(CreateCompatibleDC(screen.Get()));
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  base::UniqueGdiObject bitmap(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!memory || !bitmap || !bits) return false;
  {
    base::SelectGuard select(memory.Get(), bitmap.Get());
    if (!BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), rect.left, rect.top,
                SRCCOPY | CAPTUREBLT))
      return false;
    GdiFlush();
  }
  capture->width = width;
  capture->height = height;
  const uint32_t* p = static_cast<const uint32_t*>(bits);
  capture->pixels.assign(p, p + static_cast<size_t>(width) * height);
  for (uint32_t& px : capture->pixels) px &= 0x00FFFFFFu;
  return true;
}

std::wstring ArtifactDir() {
  // The tests run from <build>/bin.
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring bin(exe);
  bin = bin.substr(0, bin.find_last_of(L"\\/"));
  std::wstring dir = bin.substr(0, bin.find_last_of(L"\\/")) + L"\\test-artifacts";
  base::CreateDirectoryTree(dir);
  return dir;
}

// ---- The workflow fixture ----

void WorkflowTest::SetUp() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  installName = std::string("VornE2E_") + info->test_suite_name() + "_" + info->name();
  wideInstallName = base::ToWide(installName);
  ASSERT_GT(gameserver::ServerPort(), 0) << "run through CTest, which starts the game server";
  ASSERT_TRUE(ResetServer()) << "the local game server does not answer";

  // The launcher looks under D: first; only the application-data folder may hold ours.
  RemoveTree(L"D:\\" + wideInstallName);
  RemoveTree(InstallDir().substr(0, InstallDir().size() - 1));
  DeleteRegistryTree(HKEY_CLASSES_ROOT, wideInstallName);
  DeleteFileW((TempFolder() + L"/vorn-logo.png").c_str());

  gameExe = ReadFileBytes(TestGameExe());
  ASSERT_FALSE(gameExe.empty());

  const std::string base = gameserver::ServerUrl("");
  config = {
      {"installName", installName},
      {"tokensvr", base + "/" + installName + "/replies/"},
      {"minverUrl", base + VersionPath()},
      {"pkgUrl", base + "/" + installName + "/game-%d.zip"},
      {"pkgName", "game"},
      {"weiduanShell", "shell.exe"},
      {"launcherLogo", base + "/" + installName + "/logo.png"},
      {"qosUrl", base + "/qos"},
  };
  logoBytes = MakePng(24, 24, 0xFF3080F0u);
  ASSERT_FALSE(logoBytes.empty());
  ASSERT_TRUE(gameserver::Publish("/" + installName + "/logo.png", logoBytes));
}

void WorkflowTest::TearDown() { DeleteRegistryTree(HKEY_CLASSES_ROOT, wideInstallName); }

void WorkflowTest::PublishConfig() {
  std::string text = "[common]\n";
  for (const auto& kv : config) text += kv.first + "=" + kv.second + "\n";
  ASSERT_TRUE(gameserver::Publish("/pkg/vorn_install_cfg.ini", text));
}

void WorkflowTest::PublishReply(const std::string& token, const std::string& reply) {
  ASSERT_TRUE(gameserver::Publish("/" + installName + "/replies/" + token, reply));
}

std::string WorkflowTest::VersionPath() const { return "/" + installName + "/pkg.ver"; }

std::string WorkflowTest::PackagePath(int version) const {
  return "/" + installName + "/game-" + std::to_string(version) + ".zip";
}

void WorkflowTest::PublishServerVersion(const std::string& text) {
  ASSERT_TRUE(gameserver::Publish(VersionPath(), text));
}

void WorkflowTest::PublishPackage(int version, size_t dataSize) {
  packageData = gameserver::TestBytes(dataSize, static_cast<unsigned>(version));
  ZipItem data = FileItem("game/data.bin", packageData);
  data.deflate = false;  // keeps the archive as large as the data, for the resume test
  std::string zip = BuildZip({DirItem("game/"), FileItem("game/game.exe", gameExe), data});
  ASSERT_TRUE(gameserver::Publish(PackagePath(version), zip));
}

void WorkflowTest::UseMicroClientMode() {
  config["weiduanShortcut"] = "1";
  config["weiduanUrl"] = gameserver::ServerUrl("/" + installName + "/shell.exe");
  config["weiduanCfgUrl"] = gameserver::ServerUrl("/" + installName + "/shell.cfg");
  config["weiduanCfg"] = "shell.cfg";
  config["weiduanVer"] = "3";
  config["weiduanName"] = installName;
  ASSERT_TRUE(gameserver::Publish("/" + installName + "/shell.exe", gameExe));
  ASSERT_TRUE(gameserver::Publish("/" + installName + "/shell.cfg", "[shell]\n"));
}

std::wstring WorkflowTest::InstallDir() const {
  return RoamingAppData() + L"\\" + wideInstallName + L"\\";
}

void WorkflowTest::PrepareInstallFolder(const std::string* localVersion) {
  std::wstring dir = InstallDir();
  ASSERT_EQ(base::CreateDirectoryTree(dir + L"game"), 0u);
  ASSERT_TRUE(base::WriteWholeFile(dir + L"game\\game.exe", gameExe));
  ASSERT_TRUE(base::WriteWholeFile(dir + L"shell.exe", gameExe));
  if (localVersion) {
    ASSERT_TRUE(base::WriteWholeFile(dir + L"pkg.ver", *localVersion));
  }
}

RunResult WorkflowTest::Run(const std::wstring& exeName, const std::wstring& commandLine,
                            const std::wstring& exePath) {
  RunResult result;
  std::wstring dir = ScratchDir(L"workflow");
  std::wstring target = dir + L"\\" + exeName;
  std::wstring source = exePath.empty() ? LauncherExe() : exePath;
  if (!CopyFileW(source.c_str(), target.c_str(), FALSE)) {
    ADD_FAILURE() << "cannot copy the launcher to " << base::Utf8(target);
    return result;
  }
  LauncherRun run;
  if (!run.StartExisting(target, commandLine)) {
    ADD_FAILURE() << "cannot start " << base::Utf8(target);
    return result;
  }
  result.boxes = run.RunToEnd(120000, &result.exitCode);
  result.ended = run.WaitExit(0, &result.exitCode);
  result.log = ReadLog();
  return result;
}

std::wstring WorkflowTest::ChosenDir(const std::string& log) {
  return base::ToWide(LoggedAfter(log, "SetInstallDir:"));
}

}  // namespace e2e
