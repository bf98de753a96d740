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
    "bin/tarn-bridge",
    "share/applications/tarn-panel.desktop",
    "share/icons/hicolor/scalable/apps/tarn-panel.svg",
    "share/man/man1/tarn-panel.1.gz",
    "share/man/man1/tarn-sim.1.gz",
    "share/man/man1/tarn-send.1.gz",
    "share/man/man1/tarn-bridge.1.gz",
    "share/metainfo/org.tarn_panel.panel.metainfo.xml",
    "lib/systemd/system/tarn-bridge@.service",
};

} // namespace

class InstallTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DESTDIR"), m_root.path());
        const Run install = run(QStringLiteral(TARN_CMAKE),
                                {"--install", TARN_BUILD_DIR, "--prefix", "/usr"}, environment);
        QVERIFY2(install.exitCode == 0, qPrintable(install.out));
    }

    void everyFileLandsInItsPlace_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("executable");
        for (const QString &path : kInstalled)
            QTest::newRow(qPrintable(path)) << path << path.startsWith(u"bin/");
    }

    void everyFileLandsInItsPlace()
    {
        QFETCH(QString, path);
        QFETCH(bool, executable);
        const QFileInfo file(installed(path));
        QVERIFY2(file.isFile() && file.size() > 0, qPrintable(file.filePath()));
        QCOMPARE(file.isExecutable(), executable);
    }

    void theInstalledSenderRuns()
    {
        const Run help = run(installed(QStringLiteral("bin/tarn-send")), {"--help"});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains(u"lens-shift-up"));
    }

    void theMetainfoIsValid()
    {
        const Run check =
            run(QStringLiteral("appstreamcli"),
                {"validate", "--no-net", installed(kInstalled.filter(u"metainfo")[0])});
        QVERIFY2(check.exitCode == 0, qPrintable(check.out));
    }

    void theManualPagesFormatWithoutWarnings()
    {
        const QString groff = QStandardPaths::findExecutable(QStringLiteral("groff"));
        if (groff.isEmpty())
            QSKIP("groff is not installed");
        for (const QString &page : kInstalled.filter(u"/man1/")) {
            const Run formatted = run(QStringLiteral("sh"),
                                      {"-c", "gzip -dc \"$1\" | \"$2\" -t -man -Tutf8 -ww -z 2>&1",
                                       "sh", installed(page), groff});
            QVERIFY2(formatted.exitCode == 0 && formatted.out.isEmpty(),
                     qPrintable(page + formatted.out));
        }
    }

    void thePackageHoldsTheFilesAndNeedsDebianQt()
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
        const Run lint = run(QStringLiteral("lintian"), {"--fail-on", "error,warning", deb});
        QVERIFY2(lint.exitCode == 0, qPrintable("lintian: " + lint.out));

        const Run depends = run(dpkgDeb, {"--field", deb, "Depends"});
        for (const char *package :
             {"libqt6core6", "libqt6gui6", "libqt6widgets6", "libqt6serialport6", "libqt6network6"})
            QVERIFY2(depends.out.contains(QLatin1StringView(package)), package);
    }

private:
    QString installed(const QString &path) const { return m_root.filePath("usr/" + path); }
    QTemporaryDir m_root;
};

QTEST_GUILESS_MAIN(InstallTest)
#include "tst_install.moc"
