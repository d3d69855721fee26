// portavel-db: the administration tool of the customer portal's store.
#include <iostream>
#include <string>
#include <vector>

#include "admin/admin_tool.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  // Dumps of large tables write a lot; C stdio is not used here.
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  return portavel::RunAdminTool(args, std::cin, std::cout, std::cerr, portavel::SystemPlatform());
}
