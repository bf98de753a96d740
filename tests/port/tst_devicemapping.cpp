// Which device each port number stands for.
#include "serialcontrol.h"

#include <QDir>
#include <QTest>

using namespace tarn;

class DeviceMappingTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        qunsetenv("TARN_COM1");
        qunsetenv("TARN_COM2");
    }
    void portsMapToTheirVariableOrThePlatformsDevice_data();
    void portsMapToTheirVariableOrThePlatformsDevice();
};

void DeviceMappingTest::portsMapToTheirVariableOrThePlatformsDevice_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QByteArray>("variable");
    QTest::addColumn<QString>("device");

    QTest::newRow("com1 unset") << 1 << QByteArray() << "/dev/ttyS0";
    QTest::newRow("com2 unset") << 2 << QByteArray() << "/dev/ttyS1";
    QTest::newRow("usb adapter") << 1 << QByteArray("/dev/ttyUSB0") << "/dev/ttyUSB0";
    QTest::newRow("by-id path") << 2 << QByteArray("/dev/serial/by-id/usb-x-if00-port0")
                                << "/dev/serial/by-id/usb-x-if00-port0";
    QTest::newRow("relative path is taken from here")
        << 1 << QByteArray("build/com1") << QDir::current().absoluteFilePath("build/com1");
    QTest::newRow("dot path") << 1 << QByteArray("./link")
                              << QDir::current().absoluteFilePath("link");
    QTest::newRow("bare name is left to the port") << 1 << QByteArray("ttyUSB1") << "ttyUSB1";
    QTest::newRow("tcp") << 2 << QByteArray("tcp://127.0.0.1:4001") << "tcp://127.0.0.1:4001";
}

void DeviceMappingTest::portsMapToTheirVariableOrThePlatformsDevice()
{
    QFETCH(int, port);
    QFETCH(QByteArray, variable);
    QFETCH(QString, device);
    const QByteArray name = "TARN_COM" + QByteArray::number(port);
    if (variable.isEmpty())
        qunsetenv(name);
    else
        qputenv(name, variable);
    QCOMPARE(deviceForPort(port), device);
}

QTEST_GUILESS_MAIN(DeviceMappingTest)
#include "tst_devicemapping.moc"
