// vpihost's exit codes, as docs/vpihost.md lists them.
#pragma once

namespace vpihost {

constexpr int kExitOk = 0;
constexpr int kExitRunFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitModule = 3;
constexpr int kExitVersion = 4;
constexpr int kExitSource = 5;

}  // namespace vpihost
