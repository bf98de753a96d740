#pragma once

#include <QSerialPort>
#include <QString>
#include <QStringView>
#include <chrono>
#include <optional>

namespace tarn {

// How the line is driven: speed and character frame, as a settings text such as
// "19200,N,8,1" describes them.
struct LineSettings
{
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    // How long one character occupies the line: start bit, data bits, parity bit and
    // stop bits at the baud rate.
    std::chrono::nanoseconds characterTime() const;

    friend bool operator==(const LineSettings &, const LineSettings &) = default;
};

// A settings text read into line settings, or what is wrong with it.
struct ParsedSettings
{
    std::optional<LineSettings> settings;
    QString problem; // empty when settings holds a value
};

// Reads "baud,parity,data bits,stop bits": a positive whole baud rate, a parity letter
// N, E, O, M or S, 5 to 8 data bits and 1, 1.5 or 2 stop bits.
ParsedSettings parseSettings(QStringView text);

} // namespace tarn
