#include "app/web_settings.h"
#include "core/ini_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>
#include <csignal>
#include <unistd.h>

// The program as a user gets it: installed with `cmake --install` into a
// prefix, started from a folder of its own, packaged with CPack.
namespace {

constexpr int kCommandTimeoutMs = 180000;
constexpr int kStartTimeoutMs = 30000;
constexpr int kPollMs = 50;

QString BuildDir()
{
    return QString::fromUtf8(SERIALNET_BUILD_DIR);
}

// Runs a command to its end; its output goes to the test's log on failure.
bool RunToEnd(const QString& program, const QStringList& arguments, QByteArray* output = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(kCommandTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << program.toStdString() << " did not finish";
        return false;
    }
    const QByteArray text = process.readAll();
    if (output)
        *output = text;
    const bool ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!ok)
        ADD_FAILURE() << program.toStdString() << " failed:\n" << text.toStdString();
    return ok;
}

// True once the process handles `signal` itself (its handler is installed).
bool CatchesSignal(qint64 pid, int signal)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("SigCgt:\\s*([0-9a-fA-F]+)")).match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() && (match.captured(1).toULongLong(nullptr, 16) >> (signal - 1) & 1) != 0;
}

// The desktop entry's keys of group [Desktop Entry].
QMap<QString, QString> DesktopEntry(const QString& path)
{
    QMap<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return keys;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (lines.value(0) != QStringLiteral("[Desktop Entry]"))
        return keys;
    for (const QString& line : lines.mid(1)) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0)
            keys.insert(line.left(equals), line.mid(equals + 1));
    }
    return keys;
}

// Starts the installed `program` in `workingFolder` on the offscreen
// platform, with `dataHome` as XDG_DATA_HOME, and ends it with SIGTERM once
// it answers that signal.
void StartAndTerminate(const QString& program, const QString& workingFolder, const QString& dataHome)
{
    // The program's start-up requests to the maker's host are switched off in
    // its settings file: a test never leaves the machine, nor asks for a name.
    {
        IniFile ini(QDir(workingFolder).filePath(QStringLiteral("config.ini")));
        ini.WriteString(QString::fromLatin1(WebSettings::kSection), QString::fromLatin1(WebSettings::kVersionCheckKey),
                        QStringLiteral("0"));
        ASSERT_TRUE(ini.Save());
    }
    QProcess process;
    process.setWorkingDirectory(workingFolder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // Whatever the program keeps per user stays in the test's folders.
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, {});
    ASSERT_TRUE(process.waitForStarted(kStartTimeoutMs));
    // SIGTERM is answered by saving and closing once its handler is in
    // place; before that it would just kill the program.
    bool ready = false;
    for (int waited = 0; waited < kStartTimeoutMs && !ready && process.state() == QProcess::Running;
         waited += kPollMs) {
        ready = CatchesSignal(process.processId(), SIGTERM);
        if (!ready)
            QThread::msleep(kPollMs);
    }
    ASSERT_TRUE(ready) << process.readAll().toStdString();
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(kStartTimeoutMs));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << process.readAll().toStdString();
}

// Makes a folder unwritable for as long as it lives: by its mode, and for
// root, whom the mode does not stop, by the immutable attribute.
class UnwritableFolder
{
public:
    explicit UnwritableFolder(QString path) : path_(std::move(path))
    {
        QFile::setPermissions(path_, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                                         QFile::ReadOther | QFile::ExeOther);
        if (::access(QFile::encodeName(path_).constData(), W_OK) == 0)
            immutable_ = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path_}) == 0;
    }
    ~UnwritableFolder()
    {
        if (immutable_)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), path_});
        QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                         QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    }
    UnwritableFolder(const UnwritableFolder&) = delete;
    UnwritableFolder& operator=(const UnwritableFolder&) = delete;

    bool Unwritable() const { return ::access(QFile::encodeName(path_).constData(), W_OK) != 0; }

private:
    QString path_;
    bool immutable_ = false;
};

// The log files of `folder`.
QStringList LogsIn(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("Log_??????.txt")}, QDir::Files);
}

TEST(InstallTest, InstalledProgramStartsFromAnotherFolderAndKeepsItsSettingsThere)
{
    QTemporaryDir prefix;
    QTemporaryDir workingFolder;
    QTemporaryDir dataHome;
    ASSERT_TRUE(prefix.isValid() && workingFolder.isValid() && dataHome.isValid());
    ASSERT_TRUE(RunToEnd(QString::fromUtf8(SERIALNET_CMAKE),
                    {QStringLiteral("--install"), BuildDir(), QStringLiteral("--prefix"), prefix.path()}));

    const QString program = prefix.filePath(QStringLiteral("bin/serialnet"));
    ASSERT_TRUE(QFileInfo(program).isExecutable());
    const QMap<QString, QString> entry =
        DesktopEntry(prefix.filePath(QStringLiteral("share/applications/serialnet.desktop")));
    EXPECT_EQ(entry.value(QStringLiteral("Type")), QStringLiteral("Application"));
    EXPECT_EQ(entry.value(QStringLiteral("Exec")), QStringLiteral("serialnet"));
    EXPECT_EQ(entry.value(QStringLiteral("Icon")), QStringLiteral("serialnet"));
    const QStringList categories = entry.value(QStringLiteral("Categories")).split(QLatin1Char(';'));
    EXPECT_TRUE(categories.contains(QStringLiteral("Development")));
    QFile icon(prefix.filePath(QStringLiteral("share/icons/hicolor/scalable/apps/serialnet.svg")));
    ASSERT_TRUE(icon.open(QIODevice::ReadOnly));
    EXPECT_TRUE(icon.readAll().contains("<svg"));

    StartAndTerminate(program, workingFolder.path(), dataHome.path());

    QFile config(QDir(workingFolder.path()).filePath(QStringLiteral("config.ini")));
    ASSERT_TRUE(config.open(QIODevice::ReadOnly));
    EXPECT_TRUE(config.readAll().contains("[FORM]\r\nMMOCOM1="));
    EXPECT_FALSE(QFileInfo::exists(prefix.filePath(QStringLiteral("bin/config.ini"))));
}

TEST(InstallTest, InstalledProgramLogsNextToItselfOrElseInTheUsersDataFolder)
{
    QTemporaryDir prefix;
    QTemporaryDir workingFolder;
    QTemporaryDir dataHome;
    ASSERT_TRUE(prefix.isValid() && workingFolder.isValid() && dataHome.isValid());
    ASSERT_TRUE(RunToEnd(QString::fromUtf8(SERIALNET_CMAKE),
                    {QStringLiteral("--install"), BuildDir(), QStringLiteral("--prefix"), prefix.path()}));
    const QString bin = prefix.filePath(QStringLiteral("bin"));
    const QString program = QDir(bin).filePath(QStringLiteral("serialnet"));
    const QString fallback = QDir(dataHome.path()).filePath(QStringLiteral("serialnet"));

    StartAndTerminate(program, workingFolder.path(), dataHome.path());
    ASSERT_EQ(LogsIn(bin).size(), 1);
    QFile log(QDir(bin).filePath(LogsIn(bin).first()));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    // The banner line, in the code page, after its CR LF.
    EXPECT_TRUE(log.readAll().startsWith("\r\n")) << log.fileName().toStdString();
    EXPECT_TRUE(LogsIn(fallback).isEmpty());
    ASSERT_TRUE(QFile::remove(log.fileName()));

    {
        UnwritableFolder unwritable(bin);
        if (!unwritable.Unwritable())
            GTEST_SKIP() << "cannot make " << bin.toStdString() << " unwritable here";
        StartAndTerminate(program, workingFolder.path(), dataHome.path());
    }
    EXPECT_TRUE(LogsIn(bin).isEmpty());
    EXPECT_EQ(LogsIn(fallback).size(), 1);
    EXPECT_TRUE(LogsIn(workingFolder.path()).isEmpty());
}

TEST(InstallTest, DebianPackageHoldsWhatTheInstallPutsInPlace)
{
    QTemporaryDir output;
    ASSERT_TRUE(output.isValid());
    ASSERT_TRUE(RunToEnd(QString::fromUtf8(SERIALNET_CPACK),
                    {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                     QDir(BuildDir()).filePath(QStringLiteral("CPackConfig.cmake")), QStringLiteral("-B"),
                     output.path()}));
    const QStringList packages = QDir(output.path()).entryList({QStringLiteral("serialnet_*.deb")}, QDir::Files);
    ASSERT_EQ(packages.size(), 1);
    const QString package = QDir(output.path()).filePath(packages.first());

    QByteArray contents;
    ASSERT_TRUE(RunToEnd(QStringLiteral("dpkg-deb"), {QStringLiteral("--contents"), package}, &contents));
    for (const char* path : {"./usr/bin/serialnet", "./usr/share/applications/serialnet.desktop",
                             "./usr/share/icons/hicolor/scalable/apps/serialnet.svg"})
        EXPECT_TRUE(contents.contains(path)) << path << "\n" << contents.toStdString();
    QByteArray depends;
    ASSERT_TRUE(RunToEnd(QStringLiteral("dpkg-deb"), {QStringLiteral("--field"), package, QStringLiteral("Depends")},
                    &depends));
    EXPECT_TRUE(depends.contains("libqt6widgets6")) << depends.toStdString();
}

}  // namespace
