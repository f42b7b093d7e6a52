#pragma once

#include <cstdint>

// The vocabulary between the port worker, the frame and the views.
namespace morvex::comm {

inline constexpr uint32_t WM_PORT_NOTIFY = 3024; // wParam: notification code
inline constexpr uint32_t WM_PORT_ERROR = 3025;  // wParam: error code, lParam: system error
inline constexpr uint32_t WM_BOX_VALUE_CHANGED = 1178;

// Notification codes (wParam of WM_PORT_NOTIFY).
inline constexpr uint32_t PT_ABORTED = 1125;
inline constexpr uint32_t PT_THREAD_STARTED = 1131;
inline constexpr uint32_t PT_THREAD_ENDED = 1132;
inline constexpr uint32_t PT_JOBS_STARTED = 1133;
inline constexpr uint32_t PT_VALUE_READ = 1135;
inline constexpr uint32_t PT_VALUE_WRITTEN = 1136;
inline constexpr uint32_t PT_READ_DONE = 1137;
inline constexpr uint32_t PT_WRITE_DONE = 1138;
inline constexpr uint32_t PT_WRITE_FAILED = 1146;
inline constexpr uint32_t PT_READ_FAILED = 1147;
inline constexpr uint32_t PT_READ_BEGIN = 1155;
inline constexpr uint32_t PT_WRITE_BEGIN = 1156;
inline constexpr uint32_t PT_RECEIVE_STARTED = 1165;
inline constexpr uint32_t PT_SEND_STARTED = 1166;
inline constexpr uint32_t PT_NEXT_JOB = 1169;
inline constexpr uint32_t PT_ONLINE_STARTED = 1175;
inline constexpr uint32_t PT_ONLINE_ENDED = 1176;
inline constexpr uint32_t PT_LIVE_FAILED = 1177;
inline constexpr uint32_t PT_LIVE_VALUE = 1178;

// Reasons of a failed value or job.
inline constexpr uint32_t PTERR_CANCELED = 1139;
inline constexpr uint32_t PTERR_CONFIRM = 1140;
inline constexpr uint32_t PTERR_WRITE = 1141;
inline constexpr uint32_t PTERR_READ = 1142;

// Error codes (wParam of WM_PORT_ERROR).
inline constexpr uint32_t PTERR_OPEN = 2000;
inline constexpr uint32_t PTERR_SYSTEM = 100;
inline constexpr uint32_t PTERR_PURGE = 1013;
inline constexpr uint32_t PTERR_MAINWAIT = 3031;
// The line failed for good during an operation (the device hung up or went
// away, or its buffers can no longer be purged); lParam is the errno. The
// worker posts it once, closes the port and ends the job list.
inline constexpr uint32_t PTERR_LINE = 2002;

// Box commands.
inline constexpr uint8_t CMD_WRITE = 140;
inline constexpr uint8_t CMD_READ = 144;
inline constexpr uint8_t CMD_ONLINE = 100;
inline constexpr uint8_t CMD_CARRIER = 147;
inline constexpr uint8_t CMD_DIAG_COMMAND = 157;
inline constexpr uint8_t CMD_BOX_VERSION = 158;
inline constexpr uint8_t REQUEST_BYTE = 255;

} // namespace morvex::comm
