// Register reply texts: the parameter, department and article replies parsed
// into the profile and records, then formatted back into request texts.
#include <cstddef>
#include <cstdint>
#include <string>

#include "data/DeviceProfile.h"
#include "device/RegisterTransfers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string reply(reinterpret_cast<const char*>(data), size);

  DeviceProfile profile;
  profile.SetForDeviceType();
  profile.ApplyParameterReply(true, reply);
  profile.ApplyParameterReply(false, reply);

  DepartmentRecord department{};
  ParseDepartmentReply(reply, department);
  (void)FormatDepartmentRequest(department);

  for (const bool initialQty : {false, true}) {
    ArticleRecord article{};
    (void)ParseArticleReply(reply, article, initialQty);
    profile.initialQtyEnabled = initialQty;
    (void)FormatArticleRequest(article, profile);
  }
  return 0;
}
