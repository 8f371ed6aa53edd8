// Root reads a file whatever its mode says. While a UserReads lives, this thread and every
// program it starts read as the file's owner would: a file without read permission cannot be
// opened. For root that means lowering the two capabilities that override file modes, and
// having programs started meanwhile get no capabilities at all (SECBIT_NOROOT); both are put
// back when it goes. For anyone else there is nothing to do.
#pragma once

#include <linux/capability.h>
#include <linux/securebits.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace sceneio::testing {

class UserReads {
 public:
  UserReads() {
    if (geteuid() != 0) return;
    if (syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
    lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    securebits_ = prctl(PR_GET_SECUREBITS);
    if (securebits_ < 0 || prctl(PR_SET_SECUREBITS, securebits_ | SECBIT_NOROOT) != 0) return;
    changed_ = true;
    syscall(SYS_capset, &header_, lowered);
  }
  ~UserReads() {
    if (!changed_) return;
    syscall(SYS_capset, &header_, saved_);
    prctl(PR_SET_SECUREBITS, securebits_);
  }
  UserReads(const UserReads&) = delete;
  UserReads& operator=(const UserReads&) = delete;

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2] = {};
  int securebits_ = -1;
  bool changed_ = false;
};

}  // namespace sceneio::testing
