// Installation into a staging root, and the Debian package built from the same rules.
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

// What every installation holds, below its prefix /usr.
const QStringList kInstalled =
    QStringLiteral("bin/tarn-panel bin/tarn-sim bin/tarn-send bin/tarn-bridge "
                   "share/applications/tarn-panel.desktop "
                   "share/icons/hicolor/scalable/apps/tarn-panel.svg "
                   "share/man/man1/tarn-panel.1.gz share/man/man1/tarn-sim.1.gz "
                   "share/man/man1/tarn-send.1.gz share/man/man1/tarn-bridge.1.gz "
                   "share/metainfo/org.tarn_panel.panel.metainfo.xml "
                   "lib/systemd/system/tarn-bridge@.service")
        .split(u' ');

// The merged output of a program that has to end with status 0.
QString run(const QString &program, const QStringList &arguments, const QString &destDir = {})
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DESTDIR"), destDir);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool ok = process.waitForFinished(300'000) &&
                    process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    const QString out = QString::fromUtf8(process.readAll());
    return ok ? out : QStringLiteral("FAILED: ") + program + u'\n' + out;
}

} // namespace

class InstallTest : public QObject
{
    Q_OBJECT
private slots:
    void everyFileLandsInItsPlaceAndTheProgramsAndPagesWork()
    {
        QTemporaryDir root;
        const QString out =
            run(TARN_CMAKE, {"--install", TARN_BUILD_DIR, "--prefix", "/usr"}, root.path());
        QVERIFY2(!out.startsWith(u"FAILED"), qPrintable(out));
        for (const QString &path : kInstalled) {
            const QFileInfo file(root.filePath("usr/" + path));
            QVERIFY2(file.isFile() && file.size() > 0, qPrintable(path));
            QCOMPARE(file.isExecutable(), path.startsWith(u"bin/"));
        }
        QVERIFY(run(root.filePath("usr/bin/tarn-send"), {"--help"}).contains(u"lens-shift-up"));
        const QString metainfo = root.filePath("usr/" + kInstalled.filter(u"metainfo")[0]);
        const QString valid = run("appstreamcli", {"validate", "--no-net", metainfo});
        QVERIFY2(!valid.startsWith(u"FAILED"), qPrintable(valid));
        const QString groff = QStandardPaths::findExecutable(QStringLiteral("groff"));
        for (const QString &page : kInstalled.filter(u"/man1/")) {
            const QString warnings =
                run("sh", {"-c", "gzip -dc \"$1\" | \"$2\" -t -man -Tutf8 -ww -z 2>&1", "sh",
                           root.filePath("usr/" + page), groff});
            QVERIFY2(groff.isEmpty() || warnings.isEmpty(), qPrintable(page + warnings));
        }
    }

    void thePackageHoldsTheFilesAndNeedsDebianQt()
    {
        const QString dpkgDeb = QStandardPaths::findExecutable(QStringLiteral("dpkg-deb"));
        if (dpkgDeb.isEmpty())
            QSKIP("dpkg-deb is not installed");
        QTemporaryDir out;
        const QString log =
            run(TARN_CPACK, {"--config", TARN_BUILD_DIR "/CPackConfig.cmake", "-B", out.path()});
        const QStringList debs = QDir(out.path()).entryList({"tarn-panel_1.31*.deb"});
        QVERIFY2(debs.size() == 1, qPrintable(log));
        const QString contents = run(dpkgDeb, {"--contents", out.filePath(debs.first())});
        for (const QString &path : kInstalled)
            QVERIFY2(contents.contains(" ./usr/" + path + "\n"), qPrintable(path));
        QVERIFY2(!contents.contains(u"tst_"), "a test program went into the package");
        const QString lint =
            run("lintian", {"--fail-on", "error,warning", out.filePath(debs.first())});
        QVERIFY2(!lint.startsWith(u"FAILED"), qPrintable(lint));
        const QString depends = run(dpkgDeb, {"--field", out.filePath(debs.first()), "Depends"});
        for (const char *package :
             {"libqt6core6", "libqt6gui6", "libqt6widgets6", "libqt6serialport6", "libqt6network6"})
            QVERIFY2(depends.contains(QLatin1StringView(package)), package);
    }
};

QTEST_GUILESS_MAIN(InstallTest)
#include "tst_install.moc"
