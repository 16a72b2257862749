#include "download_fixture.h"

#include <windows.h>

#include "base/fs.h"
#include "base/strings.h"
#include "base/text.h"
#include "support/game_server.h"
#include "support/scratch_folder.h"

namespace e2e {

const Scheme kSchemes[2] = {{"Http", gameserver::ServerUrl, false}, {"Https", gameserver::ServerTlsUrl, true}};

std::string SchemeName(const ::testing::TestParamInfo<Scheme>& info) { return info.param.name; }

void DownloadFixture::SetUp() {
  int port = overTls_ ? gameserver::ServerTlsPort() : gameserver::ServerPort();
  ASSERT_NE(port, 0) << "run through CTest, which starts the game server";
  ASSERT_TRUE(gameserver::ResetFaults());
  SetRetryPauseForTesting(5);
}

void DownloadFixture::TearDown() {
  StopAll(jobs);
  gameserver::ResetFaults();
  SetRetryPauseForTesting(2000);
  SetRequestThreadStackForTesting(0);
}

void DownloadFixture::Run(const std::string& url, DownloadTask& task) {
  StartDownload(jobs, "test", url, &task);
  for (int i = 0; i < 6000 && task.finished.load() == 0; ++i) Sleep(10);
  ASSERT_EQ(task.finished.load(), 1u) << "no outcome within 60 s for " << url;
}

std::wstring DownloadFixture::FreshPath(const std::wstring& parent, const std::wstring& name) {
  std::wstring dir = base::JoinPath(support::TempFolder() + parent, base::ToWide(base::TimestampText()) + L"-" +
                                                                     std::to_wstring(GetTickCount64()));
  return base::JoinPath(dir, name);
}

}  // namespace e2e
