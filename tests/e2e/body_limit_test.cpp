// Bodies kept in memory stop at their limit, whether the server announces a
// length or sends chunks without end; over both transports.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "download_fixture.h"
#include "net/download_task.h"
#include "support/game_server.h"

namespace {

class BodyLimit : public e2e::SchemeDownloadFixture {
 protected:
  DownloadTask& Fetch(const std::string& path, size_t limit) {
    task_.Reset();
    task_.bodyLimit = limit;
    Run(GetParam().url(path), task_);
    return task_;
  }

 private:
  DownloadTask task_;
};

TEST_P(BodyLimit, StopsAtTheLimitWhateverTheServerAnnounces) {
  struct Row {
    const char* what;
    size_t size;
    bool endless;  // chunked, repeating the file until the client hangs up
    size_t limit;
    bool fits;
  };
  const Row rows[] = {
      {"a signature of exactly its limit", 1024, false, body_limit::kSignature, true},
      {"an announced length one past the limit", 1025, false, body_limit::kSignature, false},
      {"a version file of 64 bytes", 64, false, body_limit::kVersion, true},
      {"a version file of 65 bytes", 65, false, body_limit::kVersion, false},
      {"a signature sent in chunks without end", 100, true, body_limit::kSignature, false},
      {"a configuration sent in chunks without end", 64 * 1024, true, body_limit::kConfiguration, false},
  };
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::string path = std::string("/limit/") + GetParam().name + "-" + std::to_string(n++) + ".bin";
    std::string content = gameserver::TestBytes(row.size, static_cast<unsigned>(n));
    ASSERT_TRUE(gameserver::Publish(path, content));
    if (row.endless) {
      ASSERT_TRUE(gameserver::AddFault(path, "endless=1"));
    }
    DownloadTask& task = Fetch(path, row.limit);
    if (row.fits) {
      EXPECT_EQ(task.error, "");
      EXPECT_EQ(std::string(task.body.get(), task.bodySize), content);
    } else {
      EXPECT_EQ(task.error, "response body larger than its limit of " + std::to_string(row.limit) +
                                " bytes, url: " + GetParam().url(path));
      EXPECT_LE(task.bodySize, row.limit);
      // Refused once: a limit is no passing fault to retry. (The server logs
      // an endless body once it notices that the client hung up.)
      for (int i = 0; i < 100 && gameserver::Requests(path).empty(); ++i) Sleep(50);
      EXPECT_EQ(gameserver::Requests(path).size(), 1u);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Schemes, BodyLimit, ::testing::ValuesIn(e2e::kSchemes), e2e::SchemeName);

}  // namespace
