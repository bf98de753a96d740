#include "linesettings.h"

#include <array>
#include <utility>

namespace tarn {
namespace {

constexpr qint32 kMaxBaudRate = 4'000'000;

const std::array kParities{
    std::pair{u'N', QSerialPort::NoParity},    std::pair{u'E', QSerialPort::EvenParity},
    std::pair{u'O', QSerialPort::OddParity},   std::pair{u'M', QSerialPort::MarkParity},
    std::pair{u'S', QSerialPort::SpaceParity},
};

const std::array kStopBits{
    std::pair{QStringView(u"1"), QSerialPort::OneStop},
    std::pair{QStringView(u"1.5"), QSerialPort::OneAndHalfStop},
    std::pair{QStringView(u"2"), QSerialPort::TwoStop},
};

ParsedSettings problem(const QString &text)
{
    return {std::nullopt, text};
}

} // namespace

std::chrono::nanoseconds LineSettings::characterTime() const
{
    // Counted in half bits, so that one and a half stop bits stay exact.
    qint64 halfBits = 2 * (1 + qint64(dataBits) + (parity == QSerialPort::NoParity ? 0 : 1));
    halfBits += stopBits == QSerialPort::OneStop ? 2 : stopBits == QSerialPort::TwoStop ? 4 : 3;
    return std::chrono::nanoseconds(halfBits * 500'000'000 / baudRate);
}

ParsedSettings parseSettings(QStringView text)
{
    const auto fields = text.split(u',');
    if (fields.size() != 4)
        return problem(QStringLiteral("expected baud,parity,data bits,stop bits"));

    LineSettings line;
    bool ok = false;
    line.baudRate = fields[0].trimmed().toInt(&ok);
    if (!ok || line.baudRate <= 0 || line.baudRate > kMaxBaudRate)
        return problem(QStringLiteral("the speed must be a whole number of baud"));

    const QStringView parity = fields[1].trimmed();
    const auto parityRow = std::find_if(kParities.begin(), kParities.end(), [&](const auto &row) {
        return parity.size() == 1 && parity[0].toUpper() == row.first;
    });
    if (parityRow == kParities.end())
        return problem(QStringLiteral("the parity must be N, E, O, M or S"));
    line.parity = parityRow->second;

    const int dataBits = fields[2].trimmed().toInt(&ok);
    if (!ok || dataBits < 5 || dataBits > 8)
        return problem(QStringLiteral("the data bits must be 5, 6, 7 or 8"));
    line.dataBits = QSerialPort::DataBits(dataBits);

    const QStringView stop = fields[3].trimmed();
    const auto stopRow = std::find_if(kStopBits.begin(), kStopBits.end(),
                                      [&](const auto &row) { return stop == row.first; });
    if (stopRow == kStopBits.end())
        return problem(QStringLiteral("the stop bits must be 1, 1.5 or 2"));
    line.stopBits = stopRow->second;

    return {line, {}};
}

} // namespace tarn
