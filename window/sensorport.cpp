#include "sensorport.h"

#include "commport.h"
#include "protocol.h"

namespace Quorin {

namespace {

constexpr char LineSettingsText[] = "9600,N,8,1";
static_assert(baudRateOf(LineSettingsText) == LineBaudRate,
              "the sensor's line, as protocol.h has it");

} // namespace

void configureSensorPort(CommPort &port)
{
    port.setReadLength(0);
    port.setPortNumber(SensorPort);
    port.setSettings(QString::fromLatin1(LineSettingsText));
}

} // namespace Quorin
