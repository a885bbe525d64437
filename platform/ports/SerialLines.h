#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ports/SimContact.h"

// The two modem-control lines (DTR, RTS) of a serial port, which a shutter
// cable uses as a switch. Nothing is sent or received.
namespace zelmora::ports {

class SerialLines {
public:
    enum class Status {
        Ok,
        OpenFailed,   // no such port, busy, or no permission
        StateFailed,  // the port's settings could not be read
        SetFailed,    // the port's settings could not be applied
    };

    virtual ~SerialLines() = default;
    // Opens the port named as the user typed it (see devicePath) with both lines low.
    virtual Status open(const std::string& name) = 0;
    // Sets both lines; false when the port refused (or is not open).
    virtual bool setLines(bool dtr, bool rts) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
};

// "COM<n>" (an optional colon after it, any letter case) is the n-th serial
// port, /dev/ttyS<n-1>; any other text is taken as a device path.
std::string devicePath(const std::string& name);

// The USB serial adapters present: /dev/serial/by-id entries, then ttyUSB and
// ttyACM nodes, each list sorted. devRoot stands for /dev in tests.
std::vector<std::string> usbSerialDevices(const std::string& devRoot = "/dev");

// A simulated port under any name: the contact is closed while either line is high.
class SimSerialLines : public SerialLines {
public:
    explicit SimSerialLines(ContactSink sink) : sink_(std::move(sink)) {}
    Status open(const std::string& name) override;
    bool setLines(bool dtr, bool rts) override;
    void close() override;
    bool isOpen() const override { return open_; }

private:
    void drive(bool closed);
    ContactSink sink_;
    bool open_ = false;
    bool closed_ = false;
};

// Test double: records every line state set and fails on request.
class FakeSerialLines : public SerialLines {
public:
    struct Lines {
        bool dtr = false;
        bool rts = false;
        bool operator==(const Lines&) const = default;
    };

    Status open(const std::string& name) override;
    bool setLines(bool dtr, bool rts) override;
    void close() override;
    bool isOpen() const override { return open_; }

    // Script: the next open answers this (Ok by default; the list is used up in order).
    std::vector<Status> openResults;
    int failSetCount = 0;  // the next n setLines calls fail

    std::vector<std::string> opened;  // names passed to open
    std::vector<Lines> history;       // line states applied, the open's clearing included
    int closes = 0;
    int setCallsWhileClosed = 0;  // a call on a closed port: the fault this double catches
    Lines lines() const { return current_; }

private:
    bool open_ = false;
    Lines current_;
};

}  // namespace zelmora::ports
