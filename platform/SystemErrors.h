#pragma once

#include <string>

namespace platform {

// What a failing serial device means to the user, from the Linux error
// number (errno) the system gave. The one place where errno values become
// texts: the editor's port messages and the command-line tool use it.
enum class SerialErrorKind {
    Vanished,         // hung up or unplugged while in use
    NotPresent,       // no such device
    PermissionDenied, // the user may not open it
    Busy,             // held by another program
    InputOutput,      // the driver reports an I/O error
    Unsupported,      // the device refuses the line settings
    Other,
};

SerialErrorKind classifySerialError(int errnoValue);

// One sentence naming the cause (with the hint about the `dialout` group
// when permission is denied); the system's own text for other numbers.
std::string serialErrorText(int errnoValue);

// True when the error means another program holds the device.
inline bool isSerialDeviceBusy(int errnoValue)
{
    return classifySerialError(errnoValue) == SerialErrorKind::Busy;
}

} // namespace platform
