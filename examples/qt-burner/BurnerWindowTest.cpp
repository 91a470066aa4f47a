// The window driven as a person would, with the real component, the POSIX host and the tests'
// recorder writing to a virtual disc (or the stand-in tool where a case needs a tool that takes its
// time). Screenshots of the window go to QUELT_SCREENSHOT_DIR.
#include "BurnerWindow.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <memory>

#include <unistd.h>

using Queltburner::TBurnError;

namespace {

constexpr qint64 MiB = qint64{1024} * 1024;
constexpr int BurnTimeoutMs = 120000;

// The files on a disc image, as isoinfo lists them: "/NOTES.TXT;1", ...
QString Files(const QString& Image) {
    QProcess Process;
    Process.start(QStringLiteral("isoinfo"), {QStringLiteral("-f"), QStringLiteral("-i"), Image});
    Process.waitForFinished(60000);
    return QString::fromUtf8(Process.readAllStandardOutput());
}

QByteArray Digest(const QString& Path) {
    QFile File(Path);
    QCryptographicHash Hash(QCryptographicHash::Sha256);
    return File.open(QIODevice::ReadOnly) && Hash.addData(&File) ? Hash.result() : "missing";
}

// "703.1 MiB" out of "Blank virtual disc, 703.1 MiB free" or "1.0 MiB needed of 703.1 MiB free".
QString FreeText(const QString& Line) {
    static const QRegularExpression Free(QStringLiteral("([0-9.]+ [KMGT]?i?B) free"));
    return Free.match(Line).captured(1);
}

} // namespace

class BurnerWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;

    QString Path(const QString& Name) const { return FDir.filePath(Name); }
    QString Disc() const { return Path(QStringLiteral("disc.iso")); }

    // A file of Text, or of Size bytes that take no room (their pages are holes).
    QString Write(const QString& Name, const QByteArray& Text, qint64 Size = 0) const {
        QDir().mkpath(QFileInfo(Path(Name)).absolutePath());
        QFile File(Path(Name));
        [&] { QVERIFY(File.open(QIODevice::WriteOnly) && File.write(Text) == Text.size()); }();
        return Size == 0 || File.resize(Size) ? Path(Name) : QString();
    }

    // A window whose drive list has come, drive E chosen.
    static std::unique_ptr<BurnerWindow> Open() {
        auto Window = std::make_unique<BurnerWindow>();
        Window->show();
        auto* Drives = Find<QComboBox>(*Window, "Drives");
        [&] { QTRY_VERIFY(Drives->findData(QChar(u'E')) >= 0); }();
        Drives->setCurrentIndex(Drives->findData(QChar(u'E')));
        return Window;
    }

    static void Drop(BurnerWindow& Window, const QStringList& Paths) {
        QMimeData Data;
        QList<QUrl> Urls;
        for (const QString& Entry : Paths) {
            Urls << QUrl::fromLocalFile(Entry);
        }
        Data.setUrls(Urls);
        const QPoint Where = Window.rect().center();
        QDragEnterEvent Enter(Where, Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&Window, &Enter);
        QDropEvent Drop(QPointF(Where), Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&Window, &Drop);
    }

    template <typename Widget = QWidget>
    static Widget* Find(BurnerWindow& Window, const char* Name) {
        return Window.findChild<Widget*>(QString::fromLatin1(Name));
    }
    static QString Text(BurnerWindow& Window, const char* Bar) {
        return Find<QProgressBar>(Window, Bar)->text();
    }

    // Waits until the window has looked at the disc and measured the selection.
    static void WaitForMeasure(BurnerWindow& Window) {
        QTRY_VERIFY_WITH_TIMEOUT(!Text(Window, "SizeBar").contains(u"Measuring"), BurnTimeoutMs);
    }

    // Clicks a button; Burn once the selection is measured and allowed.
    static void Click(BurnerWindow& Window, const char* Name) {
        if (qstrcmp(Name, "Burn") == 0) {
            WaitForMeasure(Window);
        }
        QVERIFY2(Find(Window, Name)->isEnabled(), Name);
        QTest::mouseClick(Find(Window, Name), Qt::LeftButton);
    }

    static void WaitForEnd(BurnerWindow& Window) {
        QTRY_VERIFY_WITH_TIMEOUT(!Window.Running(), BurnTimeoutMs);
    }

    static void Shot(BurnerWindow& Window, const QString& Name) {
        const QString Shots = qEnvironmentVariable("QUELT_SCREENSHOT_DIR",
                                                   QStringLiteral(QUELT_DEFAULT_SCREENSHOT_DIR));
        QVERIFY(QDir().mkpath(Shots) &&
                Window.grab().save(Shots + u'/' + Name + QStringLiteral(".png")));
    }

    // The disc as it was: its digest, and nothing an interrupted run left beside it.
    void CheckDiscIs(const QByteArray& Before) const {
        QCOMPARE(Digest(Disc()), Before);
        QCOMPARE(QDir(FDir.path()).entryList({QStringLiteral(".disc.iso*")}, QDir::Hidden),
                 QStringList());
    }

    // The stand-in as the tool (for windows opened from now on), its runs taking Delay ms each.
    void UseStandin(int DelayMs, const QByteArray& Answer = {}) const {
        qputenv("QUELT_REGISTRY", Path(QStringLiteral("standin.reg")).toUtf8());
        qputenv("NEROCMD_DELAY_MS", QByteArray::number(DelayMs));
        qputenv("NEROCMD_LOG", Path(QStringLiteral("standin.log")).toUtf8());
        qputenv("NEROCMD_ANSWER", Answer);
        QFile::remove(Path(QStringLiteral("standin.log")));
    }

    // How many of the stand-in's runs since it was chosen had Argument ("--estimate", "--write").
    int ToolRuns(const QByteArray& Argument) const {
        QFile Log(Path(QStringLiteral("standin.log")));
        return Log.open(QIODevice::ReadOnly) ? static_cast<int>(Log.readAll().count(Argument)) : 0;
    }

private slots:
    // Qt Test calls its slots by these names.
    void initTestCase() { // NOLINT(readability-identifier-naming)
        QVERIFY(FDir.isValid());
        for (const auto& [Name, Tool] : {std::pair{"user.reg", QUELT_RECORDER_PATH},
                                         std::pair{"standin.reg", QUELT_STANDIN_PATH}}) {
            Write(QString::fromLatin1(Name),
                  QByteArray("Windows Registry Editor Version 5.00\n\n"
                             "[HKEY_CURRENT_USER\\Software\\ahead\\Nero - Burning Rom\\General]\n"
                             "\"RegisteredTypesNeroPath\"=\"") +
                      Tool + "\"\n");
        }
        Queltburner::MapDrive(u'E', Disc().toStdU16String());
    }

    void init() { // NOLINT(readability-identifier-naming)
        QFile::remove(Disc());
        qputenv("QUELT_REGISTRY", Path(QStringLiteral("user.reg")).toUtf8());
        for (const char* Name : {"NEROCMD_DELAY_MS", "NEROCMD_LOG", "NEROCMD_ANSWER"}) {
            qunsetenv(Name);
        }
    }

    void BurnsDroppedFilesAndFolder() {
        const auto Window = Open();
        QCOMPARE(Find<QComboBox>(*Window, "Drives")->currentText(),
                 QStringLiteral("E:  virtual disc (%1)").arg(Disc()));
        Drop(*Window, {Write(QStringLiteral("notes.txt"), "notes\n"),
                       Write(QStringLiteral("plan.txt"), "plan\n")});
        Write(QStringLiteral("photos/beach.jpg"), "not really a photo\n");
        Drop(*Window, {Path(QStringLiteral("photos"))});
        auto* Label = Find<QLineEdit>(*Window, "Label");
        Label->clear();
        QTest::keyClicks(Label, QStringLiteral("HOLIDAY"));
        WaitForMeasure(*Window);
        auto* DiscLine = Find<QLabel>(*Window, "DiscLine");
        QCOMPARE(DiscLine->text(), QStringLiteral("Blank virtual disc, 703.1 MiB free"));
        QCOMPARE(FreeText(Text(*Window, "SizeBar")), FreeText(DiscLine->text()));
        Shot(*Window, QStringLiteral("before-burn"));
        Click(*Window, "Burn");
        WaitForEnd(*Window);
        QCOMPARE(Window->LastError(), std::error_code());
        QCOMPARE(Text(*Window, "Progress"), QStringLiteral("Done"));
        // The window looks at the written disc again, and shows what it found.
        QTRY_VERIFY(DiscLine->text().startsWith(u"virtual CD with 1 session (\"HOLIDAY\")"));
        WaitForMeasure(*Window);
        Shot(*Window, QStringLiteral("after-burn"));

        const QString Listed = Files(Disc());
        for (const char* Name : {"/NOTES.TXT", "/PLAN.TXT", "/PHOTOS/BEACH.JPG"}) {
            QVERIFY2(Listed.contains(QLatin1StringView(Name)), Name);
        }
    }

    // The window's thread runs its timer within 100 ms while the recorder measures 60,000 files
    // and while it writes them (the window, closed meanwhile, closes at the burn's end): hard links
    // to one small file (as many names as files for the tool, made far faster than new files), in
    // 60 folders of 1,000 (libisofs adds a folder's entries in a time that grows with their square:
    // 60,000 in one take half a minute).
    void TheWindowAnswersDuringALargeMeasureAndBurn() {
        const QByteArray One = QFile::encodeName(Write(QStringLiteral("one.txt"), "one\n"));
        for (int Folder = 0; Folder < 60; ++Folder) {
            const QString Inner = Path(QStringLiteral("many/d%1").arg(Folder));
            QVERIFY(QDir().mkpath(Inner));
            for (int File = 0; File < 1000; ++File) {
                const QString Name = QStringLiteral("%1/f%2.txt").arg(Inner).arg(File);
                QVERIFY(::link(One.constData(), QFile::encodeName(Name).constData()) == 0);
            }
        }
        const auto Window = Open();
        WaitForMeasure(*Window);
        QElapsedTimer Clock; // since the timer's last tick
        qint64 Longest = 0;  // between two ticks
        QTimer Tick;
        connect(&Tick, &QTimer::timeout, [&] { Longest = std::max(Longest, Clock.restart()); });
        Clock.start();
        Tick.start(10);
        Drop(*Window, {Path(QStringLiteral("many"))});
        QTRY_VERIFY_WITH_TIMEOUT(Text(*Window, "SizeBar").contains(u"needed"), BurnTimeoutMs);
        qInfo("measuring: the window's thread held up %lld ms at most", Longest);
        QVERIFY(std::max(Longest, Clock.elapsed()) < 100);
        Click(*Window, "Burn");
        Longest = 0;
        // Closing the window during the burn waits for its end, then closes it.
        QVERIFY(!Window->close());
        QTRY_VERIFY_WITH_TIMEOUT(!Window->isVisible(), BurnTimeoutMs);
        qInfo("burning: the window's thread held up %lld ms at most", Longest);
        QVERIFY(std::max(Longest, Clock.elapsed()) < 100);
        QCOMPARE(Window->LastError(), std::error_code());
        QVERIFY(Files(Disc()).contains(u"/MANY/D59/F999.TXT"));
        QVERIFY(QDir(Path(QStringLiteral("many"))).removeRecursively());
    }

    // Cancel sticks whenever it is clicked. With the stand-in taking 500 ms a run, a burn clicked
    // after a change ends 1.5 s later at the soonest (disc, selection, burn): each cancel before
    // comes during the measure it waits for, before its tool starts, or while it runs; the last
    // between the measure's answer and the burn (the window's thread held up while it comes).
    void CancelSticksAtAnyMoment() {
        UseStandin(500);
        const auto Window = Open();
        Drop(*Window, {Write(QStringLiteral("notes.txt"), "notes\n")});
        for (const int DelayMs : {-1, 0, 1, 100, 300, 600, 900}) {
            WaitForMeasure(*Window);
            if (DelayMs >= 0) {
                QTest::keyClick(Find(*Window, "Label"), Qt::Key_A); // Burn waits for the measure
            }
            QTest::mouseClick(Find(*Window, "Burn"), Qt::LeftButton);
            QTest::qWait(std::max(DelayMs, 0));
            Click(*Window, "Cancel");
            WaitForEnd(*Window);
            QCOMPARE(Window->LastError(), TBurnError::Cancelled);
        }
        WaitForMeasure(*Window);
        QFile::remove(Path(QStringLiteral("standin.log")));
        QTest::keyClick(Find(*Window, "Label"), Qt::Key_A);
        QTest::mouseClick(Find(*Window, "Burn"), Qt::LeftButton);
        QTRY_COMPARE(ToolRuns("--estimate"), 1);
        QThread::msleep(2000); // the measure ends; its answer waits in the window's queue
        Click(*Window, "Cancel");
        QTest::qWait(1000);
        QCOMPARE(Window->LastError(), TBurnError::Cancelled);
        QCOMPARE(ToolRuns("--write"), 1); // the measure's: no burn
    }

    // Cancelled at once, then while it writes, then by destroying the window: the disc stays as
    // it was, and the drive list says "in use" while a burn holds the drive.
    void CancelledBurnsLeaveTheDiscAsItWas() {
        auto Window = Open();
        Drop(*Window, {Write(QStringLiteral("first.txt"), "first session\n")});
        Click(*Window, "Burn");
        Click(*Window, "Cancel");
        WaitForEnd(*Window);
        QCOMPARE(Window->LastError(), TBurnError::Cancelled);
        CheckDiscIs("missing");
        Click(*Window, "Burn");
        WaitForEnd(*Window);
        const QByteArray Before = Digest(Disc());

        Find<QCheckBox>(*Window, "Continue")->setChecked(true);
        Find<QCheckBox>(*Window, "DVD")->setChecked(true);
        Drop(*Window, {Write(QStringLiteral("large.bin"), {}, 4000 * MiB)});
        Click(*Window, "Burn");
        QTRY_VERIFY_WITH_TIMEOUT(Text(*Window, "Progress").contains(u"left"), BurnTimeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(
            Find<QComboBox>(*Window, "Drives")->currentText().endsWith(u", in use"), 10000);
        Shot(*Window, QStringLiteral("during-burn"));
        Click(*Window, "Cancel");
        WaitForEnd(*Window);
        QCOMPARE(Window->LastError(), TBurnError::Cancelled);
        CheckDiscIs(Before);
        QTRY_VERIFY_WITH_TIMEOUT(
            !Find<QComboBox>(*Window, "Drives")->currentText().contains(u"in use"), 10000);
        WaitForMeasure(*Window);
        Shot(*Window, QStringLiteral("cancelled"));

        Click(*Window, "Burn");
        QTRY_VERIFY_WITH_TIMEOUT(Text(*Window, "Progress").contains(u"left"), BurnTimeoutMs);
        Window.reset(); // the application quits during a burn
        CheckDiscIs(Before);
    }

    // The bar measures against the disc line's free space; Burn is offered only while it fits.
    void BurnIsOnlyOfferedWhenTheSelectionFits() {
        const auto Window = Open();
        Drop(*Window, {Write(QStringLiteral("film.bin"), {}, 800 * MiB)}); // a DVD's, not a CD's
        for (const bool DVD : {true, false}) {
            Find<QCheckBox>(*Window, "DVD")->setChecked(DVD);
            WaitForMeasure(*Window);
            QCOMPARE(Text(*Window, "SizeBar").endsWith(u": does not fit"), !DVD);
            const QString Free = FreeText(Find<QLabel>(*Window, "DiscLine")->text());
            QCOMPARE(Free, DVD ? QStringLiteral("4.4 GiB") : QStringLiteral("703.1 MiB"));
            QCOMPARE(FreeText(Text(*Window, "SizeBar")), Free);
            QCOMPARE(Find(*Window, "Burn")->isEnabled(), DVD);
        }
        Shot(*Window, QStringLiteral("does-not-fit"));
    }

    // A CD or a DVD in the drive sets the DVD switch, which the person cannot change then.
    void TheDiscDecidesTheDVDSwitch() {
        const QString Small = Write(QStringLiteral("small.txt"), "small\n");
        for (const auto& [Answer, Line] : // the stand-in answers a blank CD-R by default
             {std::pair{"medium=DVD+R;state=blank;free_bytes=4700372992;needed_bytes=1048576",
                        "Blank DVD+R, 4.4 GiB free"},
              std::pair{"", "Blank CD-R, 703.1 MiB free"}}) {
            UseStandin(0, Answer);
            const auto Window = Open();
            const bool IsDVD = QByteArray(Answer).contains("DVD");
            auto* Switch = Find<QCheckBox>(*Window, "DVD");
            Switch->setChecked(!IsDVD);
            Drop(*Window, {Small});
            WaitForMeasure(*Window);
            QCOMPARE(Find<QLabel>(*Window, "DiscLine")->text(), QString::fromLatin1(Line));
            QCOMPARE(Switch->isChecked(), IsDVD);
            QVERIFY(!Switch->isEnabled());
        }
    }
};

QTEST_MAIN(BurnerWindowTest)
#include "BurnerWindowTest.moc"
