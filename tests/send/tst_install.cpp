// Installation into a staging root, and the Debian package built from the same rules.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
};

Run run(const QString &program, const QStringList &arguments,
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(300'000))
        process.kill(), process.waitForFinished();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAll())};
}

// What every installation holds, below its prefix /usr.
const QStringList kInstalled = {
    "bin/tarn-panel",
    "bin/tarn-sim",
    "bin/tarn-send",
    "share/applications/tarn-panel.desktop",
    "share/icons/hicolor/scalable/apps/tarn-panel.svg",
    "share/man/man1/tarn-panel.1.gz",
    "share/man/man1/tarn-sim.1.gz",
    "share/man/man1/tarn-send.1.gz",
};

} // namespace

class InstallTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void everyFileLandsInItsPlace_data();
    void everyFileLandsInItsPlace();
    void theDesktopEntryStartsTheInstalledPanelWithTheInstalledIcon();
    void theInstalledSenderRuns();
    void theManualPagesFormatWithoutWarnings_data();
    void theManualPagesFormatWithoutWarnings();
    void thePackageHoldsTheFilesAndNeedsDebianQt();

private:
    QString installed(const QString &path) const { return m_root.filePath("usr/" + path); }
    QTemporaryDir m_root;
};

void InstallTest::initTestCase()
{
    QVERIFY(m_root.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DESTDIR"), m_root.path());
    const Run install = run(QStringLiteral(TARN_CMAKE),
                            {"--install", TARN_BUILD_DIR, "--prefix", "/usr"}, environment);
    QVERIFY2(install.exitCode == 0, qPrintable(install.out));
}

void InstallTest::everyFileLandsInItsPlace_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("executable");
    for (const QString &path : kInstalled)
        QTest::newRow(qPrintable(path)) << path << path.startsWith(u"bin/");
}

void InstallTest::everyFileLandsInItsPlace()
{
    QFETCH(QString, path);
    QFETCH(bool, executable);
    const QFileInfo file(installed(path));
    QVERIFY2(file.isFile() && file.size() > 0, qPrintable(file.filePath()));
    QCOMPARE(file.isExecutable(), executable);
}

void InstallTest::theDesktopEntryStartsTheInstalledPanelWithTheInstalledIcon()
{
    QFile entry(installed(QStringLiteral("share/applications/tarn-panel.desktop")));
    QVERIFY(entry.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(entry.readAll()).split(u'\n');
    QCOMPARE(lines.first(), "[Desktop Entry]");
    QVERIFY(lines.contains(u"Type=Application"));
    QVERIFY(lines.contains(u"Exec=tarn-panel"));
    QVERIFY(lines.contains(u"Icon=tarn-panel"));
}

void InstallTest::theInstalledSenderRuns()
{
    const Run help = run(installed(QStringLiteral("bin/tarn-send")), {"--help"});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.contains(u"lens-shift-up"));
    const Run version = run(installed(QStringLiteral("bin/tarn-send")), {"--version"});
    QCOMPARE(version.out, "tarn-send 1.31\n");
}

void InstallTest::theManualPagesFormatWithoutWarnings_data()
{
    QTest::addColumn<QString>("page");
    QTest::newRow("panel") << "tarn-panel";
    QTest::newRow("simulator") << "tarn-sim";
    QTest::newRow("sender") << "tarn-send";
}

void InstallTest::theManualPagesFormatWithoutWarnings()
{
    QFETCH(QString, page);
    const QString groff = QStandardPaths::findExecutable(QStringLiteral("groff"));
    if (groff.isEmpty())
        QSKIP("groff is not installed");
    const QString file = installed("share/man/man1/" + page + ".1.gz");
    const Run formatted =
        run(QStringLiteral("sh"),
            {"-c", "gzip -dc \"$1\" | \"$2\" -man -Tutf8 -ww -z 2>&1", "sh", file, groff});
    QCOMPARE(formatted.exitCode, 0);
    QCOMPARE(formatted.out, QString());
}

void InstallTest::thePackageHoldsTheFilesAndNeedsDebianQt()
{
    const QString dpkgDeb = QStandardPaths::findExecutable(QStringLiteral("dpkg-deb"));
    if (dpkgDeb.isEmpty())
        QSKIP("dpkg-deb is not installed");
    QTemporaryDir out;
    const Run pack = run(QStringLiteral(TARN_CPACK),
                         {"--config", TARN_BUILD_DIR "/CPackConfig.cmake", "-B", out.path()});
    QVERIFY2(pack.exitCode == 0, qPrintable(pack.out));
    const QStringList debs = QDir(out.path()).entryList({"*.deb"});
    QCOMPARE(debs.size(), 1);
    QVERIFY2(debs.first().startsWith(u"tarn-panel_1.31"), qPrintable(debs.first()));
    const QString deb = out.filePath(debs.first());

    const Run contents = run(dpkgDeb, {"--contents", deb});
    QCOMPARE(contents.exitCode, 0);
    for (const QString &path : kInstalled)
        QVERIFY2(contents.out.contains(" ./usr/" + path + "\n"), qPrintable(path));
    QVERIFY2(!contents.out.contains(u"tst_"), "a test program went into the package");

    const Run depends = run(dpkgDeb, {"--field", deb, "Depends"});
    for (const char *package :
         {"libqt6core6", "libqt6gui6", "libqt6widgets6", "libqt6serialport6", "libqt6network6"})
        QVERIFY2(depends.out.contains(QLatin1StringView(package)), package);
}

QTEST_GUILESS_MAIN(InstallTest)
#include "tst_install.moc"
