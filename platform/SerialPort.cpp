// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SerialPort.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace tw {
namespace {

speed_t speedConstant(unsigned baudRate)
{
    switch (baudRate) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return B0;
    }
}

} // namespace

bool SerialPort::isSupportedRate(unsigned baudRate)
{
    return speedConstant(baudRate) != B0;
}

bool SerialPort::open(const std::string& path, unsigned baudRate)
{
    close();
    m_failure = Failure::None;
    // O_NONBLOCK: a Bluetooth or modem line must not hang the caller waiting
    // for carrier; the reader waits with poll().
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_failure = Failure::Open;
        return false;
    }
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        m_failure = Failure::ReadState;
        ::close(fd);
        return false;
    }
    const speed_t speed = speedConstant(baudRate);
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (speed == B0 || ::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0
        || ::tcsetattr(fd, TCSANOW, &tio) != 0) {
        m_failure = Failure::WriteState;
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

void SerialPort::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

} // namespace tw
