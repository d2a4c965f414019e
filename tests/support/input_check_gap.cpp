// Linked in place of the program's AfterInputCheck: holds the program
// between the input's check and the job until the test has changed the input.
// It makes "checked.flag" in the working folder and waits (up to 20 s) until
// the test removes it.
#include <fcntl.h>
#include <unistd.h>

#include "app/after_input_check.h"

namespace quenlow {

void AfterInputCheck() {
  const int fd = open("checked.flag", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd >= 0) close(fd);
  for (int i = 0; i < 2000 && access("checked.flag", F_OK) == 0; ++i) usleep(10000);
}

}  // namespace quenlow
