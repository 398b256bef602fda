// A pseudo-terminal master standing for the encoder's end of the serial cable.
#pragma once

#include "encsim/core.h"

#include <optional>
#include <string>

namespace encsim {

class Pty {
public:
    Pty() = default;
    ~Pty();
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    // Opens a master in raw mode (no echo, no line discipline, no software flow control) and
    // leaves the slave closed, as a PC port that is not open yet.
    bool open(std::string *error);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    const std::string &slavePath() const { return m_slave; }

    // The line settings the PC set on the slave, as far as a pty shows them (the speed).
    std::optional<LineSettings> sampleLine() const;

    // Points a symlink at the slave, replacing an older symlink (never a regular file).
    static bool link(const std::string &linkPath, const std::string &target, std::string *error);
    static void unlinkIfPointsTo(const std::string &linkPath, const std::string &target);

private:
    int m_fd = -1;
    std::string m_slave;
};

int baudFromSpeed(unsigned speed); // termios speed_t to bits per second, 0 when unknown

} // namespace encsim
