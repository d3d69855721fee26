#include "app/process_start.h"

#include "config/config_lookup.h"
#include "payments/payment_url.h"

namespace portavel {

ProcessContext StartProcess(
    Platform& platform,
    const std::function<std::optional<std::string>(std::string_view)>& environment) {
  ProcessContext context;
  std::optional<std::string> explicit_path = environment(kConfigEnvironmentVariable);
  context.config = LoadConfig(platform, explicit_path);
  context.store = std::make_unique<Store>(context.config.database);
  if (std::optional<std::string> user = platform.UserName()) context.store->SetProcessUser(*user);
  try {
    context.identity = InstallationIdentity(LoadDatabaseId(*context.store, platform));
  } catch (const std::exception& error) {
    throw IdentityError(error.what());
  }
  if (context.identity.IsOneOfDatabaseIds(
          context.config.installation.payment_url_installation_ids)) {
    context.payment_url = ReadPaymentUrl(*context.store);
  }
  return context;
}

}  // namespace portavel
