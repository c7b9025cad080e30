#include "host/standard_streams.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace trivexa {

ClosedStreams OpenClosedStandardStreams() {
  ClosedStreams closed;
#ifndef _WIN32
  bool* const flags[] = {&closed.input, &closed.output, &closed.error};
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    *flags[fd] = true;
    // The lowest free descriptor: this one, since those below are open.
    const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) ::close(opened);
  }
#endif
  return closed;
}

}  // namespace trivexa
