// The settings file on disk: first run, round trip, files that cannot be read or written,
// a full disk, and a save killed half-way; and the program's own configuration file.

#include "recent/recent_answers.h"
#include "runlog/run_log.h"
#include "runlog/run_log_file.h"
#include "settings/program_config.h"
#include "settings/settings_file.h"
#include "tests/scratch_mount.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace timers;
using namespace timers::testing;

Q_DECLARE_METATYPE(timers::ProgramConfig)

namespace timers {
char* toString(const ProgramConfig& config)
{
    QStringList options;
    for (auto option = config.outputOptions.cbegin(); option != config.outputOptions.cend(); ++option)
        options << option.key() + '=' + option.value();
    return qstrdup(qPrintable(
        QString("%1 {%2} %3 %4")
            .arg(config.outputKind, options.join(", "), inputPinText(config.inputPin), inputUseText(config.inputUse))));
}
} // namespace timers

namespace {
ProgramConfig config(const QString& kind, const QMap<QString, QString>& options = {}, InputPin pin = InputPin::None,
                     InputUse use = InputUse::StartStop)
{
    return {kind, options, pin, use};
}
} // namespace

namespace {

class Recorder final : public SettingsTarget {
public:
    void setPortNumberText(const std::string& text) override { values.portNumberText = text; }
    void setOnOffText(const std::string& text) override { values.onOffText = text; }
    void setPinText(const std::string& text) override { values.pinText = text; }
    void checkAlarm() override { values.alarm = true; }
    SettingsValues values{"Combo1", "Combo1", "Combo1", false};
};

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The run numbered `i`: each one's fields differ from its neighbours'.
RunRecord run(int i)
{
    static const QStringList endings{"ran out", "cancel", "esc", "answer", "deadline", "exit", "signal"};
    return {QDateTime(QDate(2026, 12, 9), QTime(14, 3, 12), Qt::OffsetFromUTC, 3600).addSecs(i),
            1250 + i,
            12503 + i,
            i % 3,
            endings[i % endings.size()],
            QString("/dev/ttyUSB%1").arg(i % 2),
            i % 2 ? "DTR" : "RTS"};
}

QByteArray runLines(int first, int count)
{
    QByteArray lines;
    for (int i = first; i < first + count; ++i)
        lines += runLogLine(run(i));
    return lines;
}

const QByteArray kFirstRunSave("//Timer Control\r\n[USB/COM port]\r\nCombo1\r\n[COM On-Off]\r\nCombo1\r\n"
                               "[COM output pin]\r\nCombo1\r\n[Use alarm]\r\nNo\r\n");

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT
private slots:
    // The recent answers' file: newest first, each once, ten at most; a file that is not such a
    // list (or a link, which may lead to a dotfile) is ignored or read, and never overwritten.
    void recentAnswers_data()
    {
        // "-": no file; "link": a link to a one-line dotfile; "dangling": a link to a dotfile not
        // there; "no folder": a file where the folder goes
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("offered"); // at the next start
        QTest::addColumn<bool>("leftAsItWas");
        const QByteArray ten("10\n9\n8\n7\n6\n5\n4\n3\n2\n1\n");
        QTest::newRow("first answers") << QByteArray("-") << QStringList{"90", "30", "90"} << QStringList{"90", "30"}
                                       << false;
        QTest::newRow("the eleventh pushes out the oldest")
            << ten << QStringList{"11"} << QStringList{"11", "10", "9", "8", "7", "6", "5", "4", "3", "2"} << false;
        QTest::newRow("a line break is not kept")
            << QByteArray("5\n") << QStringList{"6\n7"} << QStringList{"5"} << true;
        QTest::newRow("an answer over 64 characters is not kept")
            << QByteArray("5\n") << QStringList{QString(65, '9'), QString(64, '8')}
            << QStringList{QString(64, '8'), "5"} << false;
        QTest::newRow("damaged: not UTF-8") << QByteArray("5\n\xff\n") << QStringList{} << QStringList{} << true;
        QTest::newRow("damaged: eleven lines") << "0\n" + ten << QStringList{} << QStringList{} << true;
        QTest::newRow("damaged, then an answer")
            << QByteArray("5\n\0\n", 4) << QStringList{"8"} << QStringList{} << true;
        QTest::newRow("a link to a dotfile, then an answer")
            << QByteArray("link") << QStringList{"8"} << QStringList{"export A=1"} << true;
        QTest::newRow("a dangling link, then an answer")
            << QByteArray("dangling") << QStringList{"8"} << QStringList{} << true;
        QTest::newRow("a file where the folder goes: said so")
            << QByteArray("no folder") << QStringList{"8"} << QStringList{} << false;
    }
    void recentAnswers()
    {
        QFETCH(QByteArray, before);
        QFETCH(QStringList, added);
        QFETCH(QStringList, offered);
        QFETCH(bool, leftAsItWas);
        QTemporaryDir folder;
        const QString path = folder.filePath("state/timers/recent"); // folders made at the first answer
        const QString dotfile = folder.filePath(".profile");
        if (before == "link" || before == "dangling") {
            QVERIFY(QDir().mkpath(folder.filePath("state/timers"))
                    && (before == "dangling" || put(dotfile, "export A=1\n")) && QFile::link(dotfile, path));
        } else if (before == "no folder") {
            QVERIFY(QDir().mkpath(folder.filePath("state")) && put(folder.filePath("state/timers"), "x"));
            QTest::ignoreMessage(QtWarningMsg, qPrintable("cannot keep the recent answers in " + path + ": "
                                                          + folder.filePath("state/timers") + " is not a folder"));
            QTest::failOnWarning(QRegularExpression("cannot keep")); // said otherwise
        } else {
            QVERIFY(before == "-" || (QDir().mkpath(folder.filePath("state/timers")) && put(path, before)));
        }
        RecentAnswers recent(path);
        for (const QString& answer : added)
            recent.add(answer);
        QVERIFY(recent.waitForWrites(std::chrono::seconds(60)));
        if (before == "dangling") // not followed to make the file it names
            QVERIFY2(QFileInfo(path).isSymLink() && !QFileInfo::exists(dotfile), qPrintable(contents(dotfile)));
        QCOMPARE(RecentAnswers(path).answers(), offered);
        if (leftAsItWas && before != "dangling")
            QCOMPARE(contents(before == "link" ? dotfile : path),
                     before == "link" ? QByteArray("export A=1\n") : before);
    }

    // Where the answers and the runs are kept, and the configuration: under $XDG_STATE_HOME and
    // $XDG_CONFIG_HOME when they are absolute paths; a relative one is no place (it would follow
    // the working folder) and is ignored.
    void stateFilesPlace_data()
    {
        QTest::addColumn<QByteArray>("home"); // both variables'
        QTest::addColumn<QString>("place");
        QTest::addColumn<QString>("configPlace");
        QTest::newRow("absolute") << QByteArray("/srv/state") << "/srv/state/timers/"
                                  << "/srv/state/timers/";
        QTest::newRow("relative: ignored") << QByteArray("state") << QDir::homePath() + "/.local/state/timers/"
                                           << QDir::homePath() + "/.config/timers/";
    }
    void stateFilesPlace()
    {
        QFETCH(QByteArray, home);
        QFETCH(QString, place);
        QFETCH(QString, configPlace);
        const QByteArray kept = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", home);
        qputenv("XDG_CONFIG_HOME", home);
        const QStringList paths{RecentAnswers::defaultPath(), runLogPath(), ProgramConfigFile::defaultPath()};
        qputenv("XDG_STATE_HOME", kept);
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(paths, QStringList({place + "recent", place + "runs.log", configPlace + "timers.conf"}));
    }

    // The program's configuration: read with its faults said, and written back into the user's
    // text; replaced as the settings file is, or left as it is.
    void programConfig_data()
    {
        QTest::addColumn<QString>("kind"); // file, missing (its folders too), link, fifo, folder, read error
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<int>("mode");
        QTest::addColumn<ProgramConfig>("loaded");
        QTest::addColumn<QStringList>("said"); // in the load's reason; none: no reason
        QTest::addColumn<ProgramConfig>("chosen");
        QTest::addColumn<QByteArray>("after"); // empty: left as it was
        QTest::addColumn<QString>("refused");  // in the save's error
        const ProgramConfig relay = config("relay", {{"channel", "1"}, {"on", "A0 01 01 A2"}, {"off", "A0 01 00 A1"}},
                                           InputPin::Cts, InputUse::Interlock);
        const QByteArray relayText(
            "[Output]\nkind=relay\nchannel=1\noff=A0 01 00 A1\non=A0 01 01 A2\n\n[Input]\npin=CTS\nuse=interlock\n");
        const QByteArray kindOnly("[Output]\nkind=relay\n");
        const ProgramConfig relayOnly = config("relay");
        const ProgramConfig defaults;
        QTest::newRow("missing: the defaults; the file and its folders made")
            << "missing" << QByteArray() << 0 << defaults << QStringList() << relay << relayText << QString();
        QTest::newRow("notes, line ends and other keys kept; a dropped option goes")
            << "file"
            << QByteArray("# my lamp\r\n[Window]\r\nx=1\r\n[Output]\r\nKind = relay ; the lamp\r\non=A0 01 01 A2\r\n"
                          "gone=1\r\n; end of output\r\n[input]\r\nPIN=dsr\r\n")
            << 0644 << config("relay", {{"on", "A0 01 01 A2"}, {"gone", "1"}}, InputPin::Dsr) << QStringList()
            << config("line", {{"on", "B0"}, {"channel", "2"}}, InputPin::Ri, InputUse::Interlock)
            << QByteArray("# my lamp\r\n[Window]\r\nx=1\r\n[Output]\r\nKind = line ; the lamp\r\non=B0\r\n"
                          "channel=2\r\n; end of output\r\n[input]\r\nPIN=RI\r\nuse=interlock\r\n")
            << QString();
        QTest::newRow("invalid values: said, the defaults used, the chosen written")
            << "file" << QByteArray("[Input]\npin=XYZ\nuse=sometimes\nfoo=1\n[Output]\nkind=\n") << 0644 << defaults
            << QStringList{"pin=\"XYZ\" is not one of", "use=\"sometimes\"", "no key \"foo\"", "kind is empty"}
            << config("line", {}, InputPin::Dcd)
            << QByteArray("[Input]\npin=DCD\nuse=startstop\nfoo=1\n[Output]\nkind=line\n") << QString();
        QTest::newRow("a link: written through")
            << "link" << kindOnly << 0640 << relayOnly << QStringList() << relay << relayText << QString();
        // QSaveFile keeps most modes itself, but not 0000; only root can read such a file.
        QTest::newRow("the mode is kept") << "file" << kindOnly << (::geteuid() == 0 ? 0 : 0604) << relayOnly
                                          << QStringList() << relay << relayText << QString();
        QTest::newRow("could not be read at the load: left as it is")
            << "read error" << kindOnly << 0644 << defaults << QStringList{"Input/output error"} << relay
            << QByteArray() << "left as it is";
        QTest::newRow("a FIFO: left as it is")
            << "fifo" << QByteArray() << 0600 << defaults << QStringList{"not a regular file"} << relay << QByteArray()
            << "left as it is";
        QTest::newRow("a folder: left as it is")
            << "folder" << QByteArray() << 0700 << defaults << QStringList{"not a regular file"} << relay
            << QByteArray() << "left as it is";
        QTest::newRow("over 64 KiB: its first lines read, left as it is")
            << "file"
            << "[Input]\npin=ri\n" + QByteArray("; a note\n").repeated(8000) + "use=interlock\n"
            << 0644 << config("line", {}, InputPin::Ri) << QStringList{"larger than 64 KiB"} << relay << QByteArray()
            << "left as it is";
        QTest::newRow("not UTF-8: read, left as it is")
            << "file" << QByteArray("[Input]\n; f\xfcr die Lampe\npin=DSR\n") << 0644
            << config("line", {}, InputPin::Dsr) << QStringList{"not UTF-8"} << relay << QByteArray()
            << "left as it is";
        QTest::newRow("a value with a line break: not written")
            << "file" << kindOnly << 0644 << relayOnly << QStringList() << config("relay", {{"on", "A0\n01"}})
            << QByteArray() << "line break";
        QTest::newRow("a value that would read back as a comment: not written")
            << "file" << kindOnly << 0644 << relayOnly << QStringList() << config("relay", {{"note", "lamp ;2"}})
            << QByteArray() << "would start a comment";
    }
    void programConfig()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, before);
        QFETCH(int, mode);
        QFETCH(ProgramConfig, loaded);
        QFETCH(QStringList, said);
        QFETCH(ProgramConfig, chosen);
        QFETCH(QByteArray, after);
        QFETCH(QString, refused);
        QTemporaryDir dir;
        const QString path = dir.filePath("config/timers/timers.conf");
        const QString real = kind == "link" ? dir.filePath("dotfiles/timers.conf") : path;
        if (kind != "missing")
            QVERIFY(QDir().mkpath(QFileInfo(path).path()) && QDir().mkpath(QFileInfo(real).path()));
        if (kind == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), mode_t(mode)), 0);
        } else if (kind == "folder") {
            QVERIFY(QDir().mkdir(path));
        } else if (kind != "missing") {
            QVERIFY(put(real, before) && (kind != "link" || QFile::link(real, path)));
            QCOMPARE(::chmod(QFile::encodeName(real).constData(), mode_t(mode)), 0);
        }
        if (kind == "read error")
            qputenv("TIMERS_FAIL_READ", "/timers.conf");
        ProgramConfigFile file(path);
        const ProgramConfigLoad load = file.load();
        qunsetenv("TIMERS_FAIL_READ"); // readable at the save: still not replaced
        QCOMPARE(load.values, loaded);
        QVERIFY2(said.isEmpty() == load.reason.isEmpty(), qPrintable(load.reason));
        for (const QString& part : said)
            QVERIFY2(load.reason.contains(part), qPrintable(load.reason));
        const bool saved = file.save(chosen);
        QVERIFY2(saved == refused.isEmpty() && file.errorText().contains(refused), qPrintable(file.errorText()));
        if (kind == "fifo" || kind == "folder") {
            QVERIFY(QFileInfo::exists(path) && !QFileInfo(path).isFile());
            return;
        }
        QCOMPARE(contents(real), after.isEmpty() ? before : after);
        QCOMPARE(QFileInfo(path).isSymLink(), kind == "link");
        struct stat status = {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &status), 0);
        QVERIFY(kind == "missing" || int(status.st_mode & 0777) == mode);
        if (saved)
            QCOMPARE(ProgramConfigFile(path).load().values, chosen);
    }

    // The record of runs: appended to, bounded to the newest runs, and never written through a
    // link or over a file it could not read or that is not a regular file.
    void runLog_data()
    {
        // "-": no file; "link": a link to a dotfile; "dangling": a link to a dotfile not there;
        // "folder": a folder of that name; "read error": two runs that cannot be read back
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<int>("added");      // runs 10000, 10001, ...
        QTest::addColumn<int>("kept");       // runs read back
        QTest::addColumn<int>("firstKept");  // the oldest of them; -1: one of those added
        QTest::addColumn<int>("unreadable"); // lines read back that hold no run; -1: any number
        QTest::addColumn<bool>("leftAsItWas");
        QTest::newRow("first runs: the file and its folders made") << QByteArray("-") << 2 << 2 << -1 << 0 << false;
        QTest::newRow("1,100 runs and one more: the newest 1,000 kept")
            << runLines(0, 1100) << 1 << 1000 << 101 << 0 << false;
        QTest::newRow("1,099 runs and one more: appended") << runLines(0, 1099) << 1 << 1100 << 0 << 0 << false;
        QTest::newRow("over 1 MB of lines that are no runs: rewritten")
            << QByteArray(3000, 'x').append('\n').repeated(400) + runLines(0, 1) << 1 << 2 << 0 << -1 << false;
        QTest::newRow("a line cut short is skipped, the next run is read")
            << runLines(0, 1) + "{\"start\":\"2026-" << 1 << 2 << 0 << 1 << false;
        QTest::newRow("a link to a dotfile") << QByteArray("link") << 1 << 0 << 0 << 1 << true;
        QTest::newRow("a dangling link") << QByteArray("dangling") << 1 << 0 << 0 << 0 << true;
        QTest::newRow("a folder") << QByteArray("folder") << 1 << 0 << 0 << 0 << true;
        QTest::newRow("a file that cannot be read") << QByteArray("read error") << 1 << 2 << 0 << 0 << true;
    }
    void runLog()
    {
        QFETCH(QByteArray, before);
        QFETCH(int, added);
        QFETCH(int, kept);
        QFETCH(int, firstKept);
        QFETCH(int, unreadable);
        QFETCH(bool, leftAsItWas);
        QTemporaryDir folder;
        const QString path = folder.filePath("state/timers/runs.log");
        const QString dotfile = folder.filePath(".profile");
        const QByteArray text = before == "link"       ? QByteArray("export A=1\n")
                              : before == "read error" ? runLines(0, 2)
                                                       : before;
        QVERIFY(before == "-" || QDir().mkpath(folder.filePath("state/timers")));
        if (before == "link" || before == "dangling")
            QVERIFY((before == "dangling" || put(dotfile, text)) && QFile::link(dotfile, path));
        else if (before == "folder")
            QVERIFY(QDir().mkdir(path));
        else
            QVERIFY(before == "-" || put(path, text));

        if (before == "read error")
            qputenv("TIMERS_FAIL_READ", "/runs.log");
        {
            RunLog log(path);
            for (int i = 0; i < added; ++i)
                log.add(run(10000 + i));
            QVERIFY(log.waitForWrites(std::chrono::seconds(60)));
        }
        qunsetenv("TIMERS_FAIL_READ");

        const RunLogTail tail = readRunLogTail(path, 2000);
        QCOMPARE(tail.runs.size(), kept);
        QVERIFY(unreadable < 0 || tail.unreadableLines == unreadable);
        if (kept > 0) {
            QCOMPARE(tail.runs.first(), run(firstKept < 0 ? 10000 : firstKept));
            QCOMPARE(tail.runs.first().start.offsetFromUtc(), 3600);
            QCOMPARE(tail.runs.last(), run(leftAsItWas ? kept - 1 : 10000 + added - 1));
        }
        QVERIFY2(QFileInfo(path).size() <= RunLog::kMostBytes, qPrintable(QString::number(QFileInfo(path).size())));
        if (before == "dangling") // not followed to make the file it names
            QVERIFY(QFileInfo(path).isSymLink() && !QFileInfo::exists(dotfile));
        if (leftAsItWas && before != "dangling" && before != "folder")
            QCOMPARE(contents(before == "link" ? dotfile : path), text);
    }

    void firstRunCreatesAnEmptyFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(SettingsFile::kFileName);
        SettingsFile file(path);
        Recorder target;
        QVERIFY(file.load(target));
        QVERIFY(QFile::exists(path));
        QCOMPARE(contents(path), QByteArray());
        QVERIFY(file.save(target.values));
        QCOMPARE(contents(path), kFirstRunSave);
    }

    void roundTrip()
    {
        QTemporaryDir dir;
        SettingsFile file(dir.filePath(SettingsFile::kFileName));
        QVERIFY(file.save({"3", "on", "7 - RTS", true}));
        Recorder target;
        QVERIFY(file.load(target));
        QCOMPARE(target.values.portNumberText, std::string("3"));
        QCOMPARE(target.values.onOffText, std::string("ON"));
        QCOMPARE(target.values.pinText, std::string("7 - RTS"));
        QVERIFY(target.values.alarm);
    }

    void unusablePaths()
    {
        QTemporaryDir dir;
        // A folder where the file should be: it can be neither created nor read.
        QVERIFY(QDir(dir.path()).mkdir(SettingsFile::kFileName));
        SettingsFile folder(dir.filePath(SettingsFile::kFileName));
        Recorder target;
        QVERIFY(!folder.load(target));
        QVERIFY(!folder.errorText().isEmpty());
        QCOMPARE(target.values.portNumberText, std::string("Combo1"));
        QVERIFY(!folder.save(target.values));
        // A folder that does not exist.
        SettingsFile nowhere(dir.filePath("missing/" + QString(SettingsFile::kFileName)));
        QVERIFY(!nowhere.save(target.values));
        // A FIFO that took the file's name after the load is left as it is.
        const QString path = dir.filePath("later.ini");
        SettingsFile later(path);
        QVERIFY(later.load(target));
        QVERIFY(QFile::remove(path));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        QVERIFY(!later.save(target.values));
        QVERIFY(QFileInfo::exists(path) && !QFileInfo(path).isFile());
        // A load asked to end after its first 64 KiB applies nothing of them.
        const QString large = dir.filePath("large.ini");
        QVERIFY(put(large, "[USB/COM port]\r\n3\r\n" + QByteArray(100000, '\n')));
        int asked = 0;
        SettingsFile ended(large);
        Recorder half;
        QVERIFY(!ended.load(half, [&asked] { return ++asked > 1; }));
        QVERIFY(ended.keep() == SettingsFile::Keep::Interrupted);
        QCOMPARE(half.values.portNumberText, std::string("Combo1"));
    }

    void readOnlyDirectoryKeepsTheOldFile()
    {
        ScratchMount mount(QStringLiteral("size=1m"));
        if (!mount.mounted())
            QSKIP("cannot mount a tmpfs here");
        const QString path = QDir(mount.path()).filePath(SettingsFile::kFileName);
        QVERIFY(put(path, kFirstRunSave));
        QVERIFY(mount.remount(QStringLiteral("ro")));
        SettingsFile file(path);
        Recorder target;
        QVERIFY(file.load(target)); // the file is still read
        QCOMPARE(target.values.pinText, std::string("Combo1"));
        QVERIFY(!file.save({"3", "ON", "7 - RTS", true}));
        QVERIFY(!file.errorText().isEmpty());
        QCOMPARE(contents(path), kFirstRunSave);
        // A missing file cannot be created there: the defaults stay.
        SettingsFile missing(QDir(mount.path()).filePath("other.ini"));
        QVERIFY(!missing.load(target));
    }

    void fullDiskKeepsTheOldFile()
    {
        ScratchMount mount(QStringLiteral("size=64k"));
        if (!mount.mounted())
            QSKIP("cannot mount a tmpfs here");
        const QString path = QDir(mount.path()).filePath(SettingsFile::kFileName);
        QVERIFY(put(path, kFirstRunSave));
        QFile filler(QDir(mount.path()).filePath("filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(1024, 'x');
        while (filler.write(block) == block.size()) { }
        filler.close();

        SettingsFile file(path);
        QVERIFY(!file.save({"3", "ON", "7 - RTS", true}));
        QVERIFY2(file.errorText().contains("space"), qPrintable(file.errorText()));
        QCOMPARE(contents(path), kFirstRunSave);
        QCOMPARE(QDir(mount.path()).entryList(QDir::Files).size(), 2); // no temporary file left
    }

    // The last step of the save, replacing the old file, fails: the save says so.
    void failedReplaceIsReported()
    {
        QVERIFY2(qEnvironmentVariableIsSet("LD_PRELOAD"), "run with settings_faults.so preloaded");
        QTemporaryDir dir;
        const QString path = dir.filePath(SettingsFile::kFileName);
        QVERIFY(put(path, kFirstRunSave));
        SettingsFile file(path);
        qputenv("TIMERS_FAIL_RENAME", "1");
        const bool saved = file.save({"3", "ON", "7 - RTS", true});
        qunsetenv("TIMERS_FAIL_RENAME");
        QVERIFY(!saved);
        QVERIFY(!file.errorText().isEmpty());
        QCOMPARE(contents(path), kFirstRunSave);
    }

    // A kill at any moment of a save leaves one whole file, the old or the new.
    void killDuringSaveLeavesAWholeFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(SettingsFile::kFileName);
        SettingsFile file(path);
        QVERIFY(file.save({"1", "ON", "4 - DTR", true}));
        const QByteArray a = contents(path);
        QVERIFY(file.save({"10 with a longer text", "OFF", "7 - RTS", false}));
        const QByteArray b = contents(path);

        for (int round = 0; round < 60; ++round) {
            QProcess saver;
            saver.start(QStringLiteral(TIMERS_SAVE_LOOP), {path});
            QVERIFY(saver.waitForStarted());
            QTest::qWait(int(QRandomGenerator::global()->bounded(5, 40)));
            ::kill(pid_t(saver.processId()), SIGKILL);
            QVERIFY(saver.waitForFinished());
            const QByteArray now = contents(path);
            QVERIFY2(now == a || now == b, now.constData());
        }
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settings_file.moc"
