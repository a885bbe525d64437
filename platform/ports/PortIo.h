#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Byte-wide access to the x86 I/O ports that a parallel port's registers sit at.
namespace zelmora::ports {

class PortIo {
public:
    virtual ~PortIo() = default;
    virtual std::uint8_t in(std::uint16_t addr) = 0;
    virtual void out(std::uint16_t addr, std::uint8_t value) = 0;
};

// Addresses below this belong to the system board (DMA, interrupt controller,
// timer, keyboard controller): never touched.
constexpr std::uint16_t kLowestPortAddress = 0x100;

// The kernel's /dev/port: the file offset is the I/O address. Opened on first
// use; when it cannot be opened (no privilege, no such node) one trace line is
// written and the ports read 0xFF and ignore writes, as absent hardware does.
class DevPortIo : public PortIo {
public:
    explicit DevPortIo(std::string path = "/dev/port");
    ~DevPortIo() override;
    DevPortIo(const DevPortIo&) = delete;
    DevPortIo& operator=(const DevPortIo&) = delete;

    std::uint8_t in(std::uint16_t addr) override;
    void out(std::uint16_t addr, std::uint8_t value) override;

    // True when the node can be opened for reading and writing.
    static bool available(const std::string& path = "/dev/port");

private:
    bool ensureOpen();

    std::string path_;
    int fd_ = -1;
    bool tried_ = false;
};

// Passes every access on to another PortIo and keeps the list of them.
class RecordingPortIo : public PortIo {
public:
    struct Access {
        bool write = false;
        std::uint16_t addr = 0;
        std::uint8_t value = 0;
        bool operator==(const Access&) const = default;
    };

    explicit RecordingPortIo(std::shared_ptr<PortIo> inner) : inner_(std::move(inner)) {}

    std::uint8_t in(std::uint16_t addr) override;
    void out(std::uint16_t addr, std::uint8_t value) override;

    const std::vector<Access>& accesses() const { return log_; }
    std::vector<Access> writes() const;
    void clear() { log_.clear(); }

private:
    std::shared_ptr<PortIo> inner_;
    std::vector<Access> log_;
};

}  // namespace zelmora::ports
