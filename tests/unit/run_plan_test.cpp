// The run plan: which state follows which on both roads, and where a failure
// leads. One row per way out of each state.
#include "workflow/run_plan.h"

#include <gtest/gtest.h>

#include "install/install_config.h"
#include "workflow/terminal_states.h"

namespace {

// Stands in for a workflow state: answers its first Update as told.
class Scripted : public State {
 public:
  Scripted(LauncherContext* context, StateId id, bool fails, Exit exit)
      : State(context), id_(id), fails_(fails), exit_(exit) {}
  StateId Id() const override { return id_; }
  Transition Update() override { return fails_ ? Transition::Fail("the message") : Transition::Done(exit_); }

 private:
  StateId id_;
  bool fails_;
  Exit exit_;
};

enum class Road { kNormal, kMicroClient };

struct Row {
  StateId from;
  bool fails;
  Exit exit;
  Road road;
  bool token;
  StateId next;
};

constexpr bool kFails = true;
constexpr bool kDone = false;
constexpr bool kToken = true;
constexpr bool kNoToken = false;
constexpr Road kNormal = Road::kNormal;
constexpr Road kMicro = Road::kMicroClient;
using S = StateId;

const Row kRows[] = {
    // The normal road.
    {S::kDownloadInstallCfg, kDone, Exit::kDone, kNormal, kToken, S::kDownloadLauncherLogo},
    {S::kDownloadLauncherLogo, kDone, Exit::kDone, kNormal, kToken, S::kGetUserInfo},
    {S::kDownloadLauncherLogo, kDone, Exit::kDone, kNormal, kNoToken, S::kError},
    {S::kGetUserInfo, kDone, Exit::kDone, kNormal, kToken, S::kDownloadPkgVer},
    {S::kDownloadPkgVer, kDone, Exit::kDone, kNormal, kToken, S::kPkgDownload},
    {S::kDownloadPkgVer, kDone, Exit::kUpToDate, kNormal, kToken, S::kLoad},
    {S::kPkgDownload, kDone, Exit::kDone, kNormal, kToken, S::kPkgDecompress},
    {S::kPkgDownload, kDone, Exit::kNeedsChecksum, kNormal, kToken, S::kPkgChecksum},
    {S::kPkgDecompress, kDone, Exit::kDone, kNormal, kToken, S::kLoad},
    {S::kLoad, kDone, Exit::kDone, kNormal, kToken, S::kComplete},
    {S::kError, kDone, Exit::kDone, kNormal, kToken, S::kComplete},
    // The micro-client road: its own two states, with or without a token.
    {S::kDownloadLauncherLogo, kDone, Exit::kDone, kMicro, kToken, S::kDownloadWeiduan},
    {S::kDownloadLauncherLogo, kDone, Exit::kDone, kMicro, kNoToken, S::kDownloadWeiduan},
    {S::kDownloadWeiduan, kDone, Exit::kDone, kMicro, kToken, S::kDownloadWeiduanCfg},
    {S::kDownloadWeiduanCfg, kDone, Exit::kDone, kMicro, kToken, S::kGetUserInfo},
    {S::kDownloadWeiduanCfg, kDone, Exit::kDone, kMicro, kNoToken, S::kLoad},
    {S::kDownloadPkgVer, kDone, Exit::kDone, kMicro, kToken, S::kPkgDownload},
    // Failures: the error box, except on the micro-client road for the user
    // information, the version and the package, which start the shell.
    {S::kDownloadInstallCfg, kFails, Exit::kDone, kNormal, kToken, S::kError},
    {S::kDownloadInstallCfg, kFails, Exit::kDone, kMicro, kToken, S::kError},
    {S::kGetUserInfo, kFails, Exit::kDone, kNormal, kToken, S::kError},
    {S::kGetUserInfo, kFails, Exit::kDone, kMicro, kToken, S::kLoad},
    {S::kDownloadPkgVer, kFails, Exit::kDone, kNormal, kToken, S::kError},
    {S::kDownloadPkgVer, kFails, Exit::kDone, kMicro, kToken, S::kLoad},
    {S::kPkgDownload, kFails, Exit::kDone, kNormal, kToken, S::kError},
    {S::kPkgDownload, kFails, Exit::kDone, kMicro, kToken, S::kLoad},
    {S::kPkgChecksum, kFails, Exit::kDone, kNormal, kToken, S::kError},
    {S::kPkgChecksum, kFails, Exit::kDone, kMicro, kToken, S::kLoad},
    {S::kDownloadWeiduan, kFails, Exit::kDone, kMicro, kToken, S::kError},
    {S::kDownloadWeiduanCfg, kFails, Exit::kDone, kMicro, kToken, S::kError},
    {S::kLoad, kFails, Exit::kDone, kMicro, kToken, S::kError},
};

TEST(RunPlan, EachWayOutOfEachStateLeadsWhereTheRoadSays) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(testing::Message() << "from " << static_cast<int>(row.from) << (row.fails ? " failing" : " done")
                                    << " exit " << static_cast<int>(row.exit)
                                    << (row.road == kMicro ? " micro-client" : " normal")
                                    << (row.token ? " with token" : " without token"));
    InstallConfig config;
    config.weiduanShortcut = row.road == kMicro;
    config.token = row.token ? L"tok" : L"";
    config.userInfo = L"uid=1";
    LauncherContext context;
    context.config = &config;
    (new Scripted(&context, row.from, row.fails, row.exit))->MakeCurrent();
    ASSERT_TRUE(Advance(context));
    ASSERT_NE(context.state, nullptr);
    EXPECT_EQ(context.state->Id(), row.next);
    if (row.next == S::kError) {
      auto* error = dynamic_cast<ErrorState*>(context.state.get());
      ASSERT_NE(error, nullptr);
      EXPECT_EQ(error->Message(), row.fails ? "the message" : "can't config token");
    }
    // The shell of a failed micro-client run starts without a user.
    if (row.fails && row.next == S::kLoad) {
      EXPECT_EQ(config.userInfo, L"");
    }
    context.state.reset();
  }
}

// With a published manifest the version check hands over to the update by
// entries, current version or not, and that state's ways out lead on.
TEST(RunPlan, ManifestRoadGoesThroughTheUpdateByEntries) {
  struct ManifestRow {
    StateId from;
    bool fails;
    Exit exit;
    Road road;
    bool packageChecksum;
    StateId next;
  } rows[] = {
      {S::kDownloadPkgVer, kDone, Exit::kDone, kNormal, false, S::kPkgUpdate},
      {S::kDownloadPkgVer, kDone, Exit::kUpToDate, kNormal, false, S::kPkgUpdate},
      {S::kDownloadPkgVer, kDone, Exit::kDone, kMicro, false, S::kPkgUpdate},
      {S::kPkgUpdate, kDone, Exit::kDone, kNormal, false, S::kLoad},
      {S::kPkgUpdate, kDone, Exit::kUpToDate, kNormal, false, S::kLoad},
      {S::kPkgUpdate, kDone, Exit::kWholePackage, kNormal, false, S::kPkgDownload},
      {S::kPkgUpdate, kDone, Exit::kWholeBody, kNormal, false, S::kPkgDecompress},
      {S::kPkgUpdate, kDone, Exit::kWholeBody, kNormal, true, S::kPkgChecksum},
      {S::kPkgUpdate, kFails, Exit::kDone, kNormal, false, S::kError},
      {S::kPkgUpdate, kFails, Exit::kDone, kMicro, false, S::kLoad},
  };
  for (const ManifestRow& row : rows) {
    SCOPED_TRACE(testing::Message() << "from " << static_cast<int>(row.from) << (row.fails ? " failing" : " done")
                                    << " exit " << static_cast<int>(row.exit)
                                    << (row.road == kMicro ? " micro-client" : " normal")
                                    << (row.packageChecksum ? " with pkgSha256" : ""));
    InstallConfig config;
    config.weiduanShortcut = row.road == kMicro;
    config.token = L"tok";
    config.userInfo = L"uid=1";
    config.pkgManifestSha256 = std::string(64, 'a');
    if (row.packageChecksum) config.pkgSha256 = std::string(64, 'b');
    LauncherContext context;
    context.config = &config;
    (new Scripted(&context, row.from, row.fails, row.exit))->MakeCurrent();
    ASSERT_TRUE(Advance(context));
    ASSERT_NE(context.state, nullptr);
    EXPECT_EQ(context.state->Id(), row.next);
    if (row.fails && row.next == S::kLoad) {
      EXPECT_EQ(config.userInfo, L"");
    }
    context.state.reset();
  }
}

TEST(RunPlan, StayKeepsTheStateAndEndLeavesNone) {
  struct Ending : State {
    using State::State;
    int updates = 0;
    Transition Update() override { return ++updates < 2 ? Transition::Stay() : Transition::End(); }
  };
  LauncherContext context;
  auto* ending = new Ending(&context);
  ending->MakeCurrent();
  EXPECT_FALSE(Advance(context));
  EXPECT_EQ(context.state.get(), ending);
  EXPECT_TRUE(Advance(context));
  EXPECT_EQ(context.state, nullptr);
  EXPECT_FALSE(Advance(context));
}

}  // namespace
