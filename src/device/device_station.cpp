#include "device/device_station.h"

#include "device/clock.h"

namespace zave {

DeviceStation::DeviceStation(std::unique_ptr<SerialPort> port, const StationHooks& hooks)
    : port_(std::move(port)),
      hooks_(hooks),
      engine_(*port_, hooks_.eeprom),
      link_(*port_, engine_, hooks_.log, hooks_.boxes, hooks_.pump) {}

DeviceStation::~DeviceStation() { link_.shutdown(); }

bool DeviceStation::isOpen() const { return link_.isOpen(); }

const ReplyData& DeviceStation::replyData() const { return engine_.replyData(); }

ConnectOutcome DeviceStation::connect(const std::string& portName) {
    const Hold held = hold();
    return link_.connectDevice(portName);
}

void DeviceStation::closeLink() { link_.closeLink(); }

void DeviceStation::monitorLink(const std::string& portSelectorText,
                                const std::function<void(const ReplyData&)>& showDeviceDate) {
    link_.monitorLink(portSelectorText, showDeviceDate);
}

void DeviceStation::scanPorts(PortCatalog& catalog) {
    if (busy_) return;
    discovery_.discoverPorts(link_.isOpen(), catalog, hooks_.log);
}

bool DeviceStation::writeProgram(const ScheduleDocument& doc, bool documentIsWritable) {
    const Hold held = hold();
    DeviceOperationContext ctx{engine_, hooks_.log, hooks_.boxes, hooks_.progress};
    return zave::writeProgram(ctx, *port_, doc, documentIsWritable);
}

bool DeviceStation::writeProgramChanges(const ScheduleDocument& doc, const ScheduleDocument& held) {
    const Hold busy = hold();
    DeviceOperationContext ctx{engine_, hooks_.log, hooks_.boxes, hooks_.progress};
    return zave::writeProgramChanges(ctx, *port_, doc, held);
}

bool DeviceStation::readProgram(ScheduleDocument& doc) {
    const Hold held = hold();
    DeviceOperationContext ctx{engine_, hooks_.log, hooks_.boxes, hooks_.progress};
    return zave::readProgram(ctx, *port_, doc);
}

bool DeviceStation::syncClock() {
    const Hold held = hold();
    return syncDeviceClock(engine_, *port_, hooks_.clock, hooks_.log);
}

ExchangeResult DeviceStation::sendCommand(int64_t code, const CommandParams& params) {
    return engine_.sendCommand(code, params);
}

void DeviceStation::shutdown() { link_.shutdown(); }

}  // namespace zave
