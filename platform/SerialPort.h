// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace tw {

// A serial device opened for reading in raw mode, 8 data bits, no parity,
// one stop bit. The descriptor is non-blocking: wait for data with poll().
class SerialPort {
public:
    SerialPort() = default;
    ~SerialPort() { close(); }
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    enum class Failure { None, Open, ReadState, WriteState };

    // Opens path at baudRate (bits per second; one of the standard rates).
    // On failure the descriptor stays closed and failure() says what failed.
    bool open(const std::string& path, unsigned baudRate);
    void close();

    int fd() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    // What the last open() failed at.
    Failure failure() const { return m_failure; }

    // True for the rates that open() accepts.
    static bool isSupportedRate(unsigned baudRate);

private:
    int m_fd = -1;
    Failure m_failure = Failure::None;
};

} // namespace tw
