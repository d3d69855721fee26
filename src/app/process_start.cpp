#include "app/process_start.h"

#include "platform/version.h"

namespace portavel {

ProcessContext StartProcess(Platform& platform) {
  ProcessContext context;
  context.config = LoadConfig(platform);
  context.store = std::make_unique<Store>(context.config.database);
  context.identity = InstallationIdentity(LoadDatabaseId(*context.store, platform));
  context.version_text = TVersion().VersionText();
  return context;
}

}  // namespace portavel
