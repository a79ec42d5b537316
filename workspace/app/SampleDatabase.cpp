#include "workspace/app/SampleDatabase.h"

#include <filesystem>

#include "data/Config.h"
#include "data/DatabaseFile.h"
#include "data/DeviceProfile.h"
#include "device/RegisterConnection.h"
#include "device/RegisterTransfers.h"
#include "transfer/TransferService.h"

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
  TransferService service(transfers);
  TransferControl control;
  if (!service.ReadParameters(control).Done()) return fail("the demo register did not answer");

  // The window's opening download: articles and departments in one go, into
  // a file that exists only once the download is complete.
  DatabaseFile file;
  const TransferOutcome outcome =
      service.Download(DownloadRequest::NewDatabase(path, DefaultDepartmentTaxLetter()), file, control);
  file.Close();
  if (!outcome.placed) {
    return fail(outcome.FileFailed() ? "The database file could not be written:\n" + outcome.why
                                     : "the download from the demo register failed");
  }
  if (articles) *articles = outcome.articles;
  return true;
}
