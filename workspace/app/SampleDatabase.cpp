#include "workspace/app/SampleDatabase.h"

#include <filesystem>

#include "workspace/articles/ArticlesWindowLogic.h"
#include "data/DeviceProfile.h"
#include "device/RegisterConnection.h"
#include "device/RegisterTransfers.h"
#include "workspace/common/UnattendedOperator.h"

namespace {

// The demo register answers at once; only the pauses meant for a real
// register's pace are dropped.
DeviceTiming DemoPace() {
  DeviceTiming timing;
  timing.afterFramePauseMs = 0;
  timing.startPauseMs = 0;
  timing.writeRetryPauseMs = 1;
  timing.stopPollMs = 1;
  timing.noDevicePollMs = 1;
  timing.lineReadTimeoutMs = 20;
  return timing;
}

}  // namespace

bool SampleDatabase::Create(const std::string& path, std::string* error, std::size_t* articles) {
  const auto fail = [&](std::string why) {
    if (error) *error = std::move(why);
    return false;
  };
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) return fail(path + " exists already; it is left as it is");

  RegisterConnection connection(*RegisterChoice::Parse("demo", nullptr), DemoPace());
  if (!connection.Start()) return fail("the demo register did not start");

  DeviceProfile profile;
  profile.SetForDeviceType();
  RegisterTransfers transfers(connection.Transaction(), profile);
  if (!transfers.ReadDeviceParameters()) return fail("the demo register did not answer");

  UnattendedOperator op(path);
  ArticlesWindowLogic logic(op, profile, nullptr, nullptr, &transfers);
  // The window's opening download: articles and departments in one go.
  logic.controls.viewMode = ViewMode::Both;
  logic.transferFailed = 0;
  logic.downloadAll = 1;
  logic.OnDownload();
  logic.downloadAll = 0;
  const std::size_t written = logic.Table().Count();
  logic.OnClose();
  if (!op.Complaints().empty() || logic.transferFailed != 0 || !std::filesystem::exists(path, ec)) {
    // The empty file made above is removed, so that the next attempt starts
    // afresh; nothing else here was made by this run.
    std::filesystem::remove(path, ec);
    return fail(op.Complaints().empty() ? "the download from the demo register failed" : op.Complaints().front());
  }
  if (articles) *articles = written;
  return true;
}
