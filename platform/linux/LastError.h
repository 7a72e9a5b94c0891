// The thread's last system error, kept the way the Windows backend's callers expect to read it.
#pragma once

namespace proccpu::platform::linux_services {

/// Records errno value code as the calling thread's last error (read back by lastErrorCode()).
void setLastError(int code);

}  // namespace proccpu::platform::linux_services
