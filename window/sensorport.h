#pragma once

namespace Quorin {

class CommPort;

// The port the sensor is on; the readers' window shows it as "COM 3".
inline constexpr int SensorPort = 3;

// Readies a closed port for the sensor: every read returns all that waits, port 3, the sensor's
// line "9600,N,8,1". Throws SerialError.
void configureSensorPort(CommPort &port);

} // namespace Quorin
