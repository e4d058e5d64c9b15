#pragma once

#include <QString>

#include <optional>

// What the two simulated devices, the sensor and the Uno, share as command-line programs: how
// they say what went wrong, how a signal stops them, and their --seconds.
namespace Quorin::DeviceTool {

inline constexpr int UsageExit = 2;

// Prints "program: message" on standard error and ends the program with `status`.
[[noreturn]] void fail(const QString &message, int status = UsageExit);

// "what: " and the system's words for errno.
[[nodiscard]] QString systemError(const QString &what);

// From now on SIGINT and SIGTERM ask the program to stop. The call they interrupt is not
// restarted, so that a waiting poll() returns and the loop sees the request.
void stopOnSignals();
[[nodiscard]] bool stopRequested();

// A duration in seconds given to an option, above 0 and below `most`; fails otherwise.
[[nodiscard]] double secondsOption(const QString &option, const QString &text, double most);

} // namespace Quorin::DeviceTool
