#include "platform/SystemErrors.h"

#include <cerrno>
#include <cstring>

namespace platform {

SerialErrorKind classifySerialError(int errnoValue)
{
    switch (errnoValue) {
    case ENODEV:
    case ENXIO:
    case EPIPE:
    case EBADF: return SerialErrorKind::Vanished;
    case ENOENT:
    case ENOTDIR: return SerialErrorKind::NotPresent;
    case EACCES:
    case EPERM: return SerialErrorKind::PermissionDenied;
    case EBUSY:
#if EWOULDBLOCK != EBUSY
    case EWOULDBLOCK: // the lock of another program
#endif
        return SerialErrorKind::Busy;
    case EIO: return SerialErrorKind::InputOutput;
    case EINVAL:
    case ENOTTY: return SerialErrorKind::Unsupported;
    default: return SerialErrorKind::Other;
    }
}

std::string serialErrorText(int errnoValue)
{
    switch (classifySerialError(errnoValue)) {
    case SerialErrorKind::Vanished: return "The serial device has gone away (unplugged, switched off or hung up).";
    case SerialErrorKind::NotPresent: return "There is no such serial device (not plugged in or not installed).";
    case SerialErrorKind::PermissionDenied:
        return "Permission denied: this user may not open the serial device. Add the user to the 'dialout' group "
               "(sudo usermod -aG dialout $USER) and log in again.";
    case SerialErrorKind::Busy: return "The serial device is in use by another program.";
    case SerialErrorKind::InputOutput:
        return "Input/output error on the serial device (the adapter may have been unplugged).";
    case SerialErrorKind::Unsupported: return "The serial device does not support these settings.";
    case SerialErrorKind::Other: break;
    }
    if (errnoValue == 0) {
        return {};
    }
    return std::strerror(errnoValue);
}

} // namespace platform
