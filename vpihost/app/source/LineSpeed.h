// The speed a tty runs at, in bits per second, any rate included (not only
// those with a Bnnn constant); 0 when it cannot be told (Linux).
#pragma once

namespace vpihost {

int LineSpeedOf(int fd);

}  // namespace vpihost
