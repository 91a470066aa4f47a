// The window driven as a person would: files dropped on it, buttons clicked, the result read off
// the screen; with the real component, the POSIX host and the tests' recorder writing to a virtual
// disc (or the stand-in, where a case needs a tool that takes its time). Screenshots of the window
// go to QUELT_SCREENSHOT_DIR.
#include "BurnerWindow.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <utility>

#include <unistd.h>

using Queltburner::TBurnError;

namespace {

constexpr qint64 MiB = qint64{1024} * 1024;
constexpr int BurnTimeoutMs = 120000;
// The longest the window's thread may be held up: a person notices more.
constexpr qint64 MaxGapMs = 100;

QString Run(const QString& Program, const QStringList& Arguments) {
    QProcess Process;
    Process.start(Program, Arguments);
    if (!Process.waitForFinished(60000) || Process.exitCode() != 0) {
        return QStringLiteral("%1 failed: %2").arg(Program, Process.readAllStandardError());
    }
    return QString::fromUtf8(Process.readAllStandardOutput());
}

QByteArray Digest(const QString& Path) {
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly)) {
        return "missing";
    }
    QCryptographicHash Hash(QCryptographicHash::Sha256);
    Hash.addData(&File);
    return Hash.result();
}

// The longest time between two ticks of a 10 ms timer on the window's thread since Restart: how
// long that thread was held up.
class GapWatch {
public:
    GapWatch() {
        QObject::connect(&FTick, &QTimer::timeout,
                         [this] { FLongest = std::max(FLongest, FClock.restart()); });
        Restart();
        FTick.start(10);
    }
    void Restart() {
        FClock.start();
        FLongest = 0;
    }
    qint64 Longest() const { return std::max(FLongest, FClock.elapsed()); }

private:
    QTimer FTick;
    QElapsedTimer FClock;
    qint64 FLongest = 0;
};

// "703.1 MiB" out of "..., 703.1 MiB free" and "... of 703.1 MiB free".
QString FreeText(const QString& Line) {
    static const QRegularExpression Free(QStringLiteral("([0-9.]+ [KMGT]?i?B) free"));
    return Free.match(Line).captured(1);
}

} // namespace

class BurnerWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;
    QString FShots;

    QString Path(const QString& Name) const { return FDir.filePath(Name); }
    QString Disc() const { return Path(QStringLiteral("disc.iso")); }
    QString ToolLog() const { return Path(QStringLiteral("standin.log")); }

    QString Write(const QString& Name, const QByteArray& Text) const {
        QDir().mkpath(QFileInfo(Path(Name)).absolutePath());
        QFile File(Path(Name));
        [&] { QVERIFY(File.open(QIODevice::WriteOnly) && File.write(Text) == Text.size()); }();
        return Path(Name);
    }

    // A file of Size bytes that takes no room: its pages are holes.
    QString Sparse(const QString& Name, qint64 Size) const {
        QFile File(Path(Name));
        [&] { QVERIFY(File.open(QIODevice::WriteOnly) && File.resize(Size)); }();
        return Path(Name);
    }

    std::unique_ptr<BurnerWindow> Open() const {
        auto Window = std::make_unique<BurnerWindow>();
        Window->show();
        [&] { QVERIFY(QTest::qWaitForWindowExposed(Window.get())); }();
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

    template <typename Widget>
    static Widget* Find(BurnerWindow& Window, const char* Name) {
        auto* Found = Window.findChild<Widget*>(QString::fromLatin1(Name));
        [&] { QVERIFY2(Found != nullptr, Name); }();
        return Found;
    }

    static QString SizeText(BurnerWindow& Window) {
        return Find<QProgressBar>(Window, "SizeBar")->text();
    }

    // Waits until the window has looked at the disc and measured the selection.
    static void WaitForMeasure(BurnerWindow& Window, int TimeoutMs = 20000) {
        QTRY_VERIFY_WITH_TIMEOUT(!SizeText(Window).contains(u"Measuring"), TimeoutMs);
    }

    // Clicks Burn once the selection is measured and allowed.
    static void ClickBurn(BurnerWindow& Window) {
        WaitForMeasure(Window);
        auto* Burn = Find<QPushButton>(Window, "Burn");
        QVERIFY2(Burn->isEnabled(), qPrintable(SizeText(Window)));
        QTest::mouseClick(Burn, Qt::LeftButton);
        QVERIFY(Window.Running());
    }

    static void ClickCancel(BurnerWindow& Window) {
        QTest::mouseClick(Find<QPushButton>(Window, "Cancel"), Qt::LeftButton);
    }

    static void WaitForEnd(BurnerWindow& Window) {
        QTRY_VERIFY_WITH_TIMEOUT(!Window.Running(), BurnTimeoutMs);
    }

    void Shot(BurnerWindow& Window, const QString& Name) const {
        QVERIFY(Window.grab().save(QDir(FShots).filePath(Name + QStringLiteral(".png"))));
    }

    // The files an interrupted run left beside the disc: its scratch copies and its lock.
    QStringList ScratchBesideDisc() const {
        return QDir(FDir.path())
            .entryList({QStringLiteral(".disc.iso*")}, QDir::Files | QDir::Hidden);
    }

    // The stand-in as the tool, each of its runs taking Delay ms and logged to ToolLog().
    void UseStandin(int DelayMs, const QByteArray& Answer = {}) const {
        qputenv("QUELT_REGISTRY", Path(QStringLiteral("standin.reg")).toUtf8());
        qputenv("NEROCMD_DELAY_MS", QByteArray::number(DelayMs));
        qputenv("NEROCMD_LOG", ToolLog().toUtf8());
        qputenv("NEROCMD_ANSWER", Answer);
        QFile::remove(ToolLog());
    }

    // The stand-in's runs so far: "disc_info", "estimate" or "burn".
    QStringList ToolRuns() const {
        QFile Log(ToolLog());
        QStringList Runs;
        if (Log.open(QIODevice::ReadOnly)) {
            for (const QByteArray& Line : Log.readAll().split('\n')) {
                if (!Line.isEmpty()) {
                    Runs << (Line.contains("\"--disc_info\"")  ? QStringLiteral("disc_info")
                             : Line.contains("\"--estimate\"") ? QStringLiteral("estimate")
                                                               : QStringLiteral("burn"));
                }
            }
        }
        return Runs;
    }

private slots:
    // Qt Test calls its slots by these names.
    void initTestCase() { // NOLINT(readability-identifier-naming)
        QVERIFY(FDir.isValid());
        FShots = qEnvironmentVariable("QUELT_SCREENSHOT_DIR",
                                      QStringLiteral(QUELT_DEFAULT_SCREENSHOT_DIR));
        QVERIFY(QDir().mkpath(FShots));
        for (const auto& [Name, Tool] : {std::pair{"user.reg", QUELT_RECORDER_PATH},
                                         std::pair{"standin.reg", QUELT_STANDIN_PATH}}) {
            Write(QString::fromLatin1(Name),
                  QByteArray("Windows Registry Editor Version 5.00\n\n"
                             "[HKEY_CURRENT_USER\\Software\\ahead\\Nero - Burning Rom\\General]\n"
                             "\"RegisteredTypesNeroPath\"=\"") +
                      Tool + "\"\n");
        }
        qputenv("QUELT_DRIVES", ("E=" + Disc()).toUtf8());
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
        auto* Drives = Find<QComboBox>(*Window, "Drives");
        QTRY_COMPARE(Drives->currentText(), QStringLiteral("E:  virtual disc (%1)").arg(Disc()));
        Drop(*Window, {Write(QStringLiteral("notes.txt"), "notes\n"),
                       Write(QStringLiteral("plan.txt"), "plan\n")});
        Write(QStringLiteral("photos/beach.jpg"), "not really a photo\n");
        Drop(*Window, {Path(QStringLiteral("photos"))});
        auto* Label = Find<QLineEdit>(*Window, "Label");
        Label->clear();
        QTest::keyClicks(Label, QStringLiteral("HOLIDAY"));
        WaitForMeasure(*Window);
        // The disc's line and the size bar show one number for the free space, in units of 1,024.
        auto* DiscLine = Find<QLabel>(*Window, "DiscLine");
        QCOMPARE(DiscLine->text(), QStringLiteral("Blank virtual disc, 703.1 MiB free"));
        QCOMPARE(FreeText(SizeText(*Window)), FreeText(DiscLine->text()));
        Shot(*Window, QStringLiteral("before-burn"));
        ClickBurn(*Window);
        WaitForEnd(*Window);
        QCOMPARE(Window->LastError(), std::error_code());
        QVERIFY(Find<QLabel>(*Window, "Result")->text().startsWith(u"Done"));
        QCOMPARE(Find<QProgressBar>(*Window, "Progress")->text(), QStringLiteral("Done"));
        // The window looks at the written disc again, and then shows what it found.
        QTRY_VERIFY(DiscLine->text().contains(u"1 session (\"HOLIDAY\")"));
        WaitForMeasure(*Window);
        Shot(*Window, QStringLiteral("after-burn"));

        QVERIFY(Run(QStringLiteral("isoinfo"), {QStringLiteral("-d"), QStringLiteral("-i"), Disc()})
                    .contains(u"Volume id: HOLIDAY"));
        const QString Out = Path(QStringLiteral("read-back"));
        Run(QStringLiteral("xorriso"),
            {QStringLiteral("-osirrox"), QStringLiteral("on"), QStringLiteral("-indev"), Disc(),
             QStringLiteral("-extract"), QStringLiteral("/"), Out});
        for (const char* Name : {"notes.txt", "plan.txt", "photos/beach.jpg"}) {
            const QString Entry = QString::fromLatin1(Name);
            QCOMPARE(Digest(Out + u'/' + Entry), Digest(Path(Entry)));
        }
    }

    // The window's thread answers its timer within 100 ms while the tool measures 60,000 files
    // and while it writes them. They are hard links to one small file, as many names as files for
    // the tool, made in a fraction of the time a new file takes each; and they are in 60 folders
    // of 1,000: libisofs adds the entries of one folder in a time that grows with their square
    // (60,000 in one take it half a minute).
    void TheWindowAnswersDuringALargeMeasureAndBurn() {
        constexpr int Folders = 60;
        constexpr int FilesEach = 1000;
        const QString Folder = Path(QStringLiteral("many"));
        const QByteArray Source = QFile::encodeName(Write(QStringLiteral("one.txt"), "one\n"));
        for (int Outer = 0; Outer < Folders; ++Outer) {
            const QString Inner = QStringLiteral("%1/d%2").arg(Folder).arg(Outer);
            QVERIFY(QDir().mkpath(Inner));
            for (int Index = 0; Index < FilesEach; ++Index) {
                const QByteArray Name =
                    QFile::encodeName(QStringLiteral("%1/f%2.txt").arg(Inner).arg(Index));
                QVERIFY(::link(Source.constData(), Name.constData()) == 0);
            }
        }
        const auto Window = Open();
        WaitForMeasure(*Window);
        GapWatch Gaps;
        QElapsedTimer Clock;
        Clock.start();
        Drop(*Window, {Folder});
        QTRY_VERIFY_WITH_TIMEOUT(SizeText(*Window).contains(u"needed"), BurnTimeoutMs);
        const qint64 Measured = Clock.elapsed();
        qInfo("measured %d files in %lld ms, the window held up %lld ms at most",
              Folders * FilesEach, Measured, Gaps.Longest());
        QVERIFY2(Measured > 250, "a measure that quick proves nothing");
        QVERIFY2(Gaps.Longest() < MaxGapMs, qPrintable(QString::number(Gaps.Longest())));

        ClickBurn(*Window);
        Gaps.Restart();
        Clock.restart();
        WaitForEnd(*Window);
        qInfo("burned them in %lld ms, the window held up %lld ms at most", Clock.elapsed(),
              Gaps.Longest());
        QVERIFY2(Gaps.Longest() < MaxGapMs, qPrintable(QString::number(Gaps.Longest())));
        QCOMPARE(Window->LastError(), std::error_code());
        QVERIFY(Run(QStringLiteral("isoinfo"), {QStringLiteral("-f"), QStringLiteral("-i"), Disc()})
                    .contains(u"/MANY/D59/F999.TXT"));
        QVERIFY(QDir(Folder).removeRecursively());
    }

    // Cancel sticks whenever it is clicked: while the burn waits for its measure, between the
    // measure's answer and the burn, before the burn's tool has started, while it runs. With the
    // stand-in, whose runs each take 500 ms, a burn ends no sooner than 1.5 s after its click (the
    // disc, the selection, the burn): every cancel before that ends it as cancelled.
    void CancelSticksAtAnyMoment() {
        UseStandin(500);
        const auto Window = Open();
        auto* Label = Find<QLineEdit>(*Window, "Label");
        Drop(*Window, {Write(QStringLiteral("notes.txt"), "notes\n")});
        for (const int DelayMs : {0, 1, 100, 300, 600, 900, 1150}) {
            WaitForMeasure(*Window);
            QTest::keyClick(Label, Qt::Key_A); // a change: Burn waits for the measure
            QTest::mouseClick(Find<QPushButton>(*Window, "Burn"), Qt::LeftButton);
            QVERIFY(Window->Running());
            QTest::qWait(DelayMs);
            ClickCancel(*Window);
            WaitForEnd(*Window);
            QCOMPARE(Window->LastError(), TBurnError::Cancelled);
            QVERIFY(Find<QLabel>(*Window, "Result")->text().startsWith(u"Not written"));
        }
        // Burn with the selection measured: the job starts at once, and the cancel reaches it
        // before its tool has started, or while it runs.
        for (const int DelayMs : {0, 0, 5, 50, 250}) {
            ClickBurn(*Window);
            QTest::qWait(DelayMs);
            ClickCancel(*Window);
            WaitForEnd(*Window);
            QCOMPARE(Window->LastError(), TBurnError::Cancelled);
        }
    }

    // A cancel that comes after the measure has answered, before its answer has reached the
    // window: the window's thread is held up (here by the test) while the measure ends.
    void CancelBetweenTheMeasureAndTheBurn() {
        UseStandin(300);
        const auto Window = Open();
        Drop(*Window, {Write(QStringLiteral("notes.txt"), "notes\n")});
        WaitForMeasure(*Window);
        QFile::remove(ToolLog());
        QTest::keyClick(Find<QLineEdit>(*Window, "Label"), Qt::Key_A);
        QTest::mouseClick(Find<QPushButton>(*Window, "Burn"), Qt::LeftButton);
        QTRY_COMPARE(ToolRuns(),
                     QStringList({QStringLiteral("disc_info"), QStringLiteral("estimate")}));
        QThread::msleep(2000); // the measure ends; its answer waits in the window's queue
        ClickCancel(*Window);
        QTest::qWait(500);
        QCOMPARE(Window->LastError(), TBurnError::Cancelled);
        QVERIFY(!Window->Running());
        QCOMPARE(ToolRuns().count(QStringLiteral("burn")), 0);
    }

    void CancelMidWriteLeavesTheDiscAsItWas() {
        const auto Window = Open();
        Drop(*Window, {Write(QStringLiteral("first.txt"), "first session\n")});
        ClickBurn(*Window);
        WaitForEnd(*Window);
        QCOMPARE(Window->LastError(), std::error_code());
        const QByteArray Before = Digest(Disc());

        Find<QCheckBox>(*Window, "Continue")->setChecked(true);
        Find<QCheckBox>(*Window, "DVD")->setChecked(true);
        Drop(*Window, {Sparse(QStringLiteral("large.bin"), 4000 * MiB)});
        auto* Progress = Find<QProgressBar>(*Window, "Progress");
        for (int Try = 0; Try < 3; ++Try) {
            ClickBurn(*Window);
            QTRY_VERIFY_WITH_TIMEOUT(Progress->text().startsWith(u"writing") || !Window->Running(),
                                     BurnTimeoutMs);
            QVERIFY2(Window->Running(), "the burn ended before it could be cancelled");
            if (Try == 0) {
                // The drive list says the drive is in use while the burn holds it.
                QTRY_VERIFY_WITH_TIMEOUT(
                    Find<QComboBox>(*Window, "Drives")->currentText().endsWith(u", in use"), 10000);
                QTRY_VERIFY_WITH_TIMEOUT(Progress->text().contains(u"left"), BurnTimeoutMs);
                Shot(*Window, QStringLiteral("during-burn"));
            }
            ClickCancel(*Window);
            WaitForEnd(*Window);
            QCOMPARE(Window->LastError(), TBurnError::Cancelled);
            QCOMPARE(Digest(Disc()), Before);
            QCOMPARE(ScratchBesideDisc(), QStringList());
        }
        QTRY_VERIFY(!Find<QComboBox>(*Window, "Drives")->currentText().contains(u"in use"));
        Shot(*Window, QStringLiteral("cancelled"));
    }

    // Cancel right after Burn: the job stops before the tool has written anything.
    void CancelAtOnceWritesNothing() {
        const auto Window = Open();
        Drop(*Window, {Write(QStringLiteral("notes.txt"), "notes\n")});
        ClickBurn(*Window);
        ClickCancel(*Window);
        WaitForEnd(*Window);
        QCOMPARE(Window->LastError(), TBurnError::Cancelled);
        QVERIFY(Find<QLabel>(*Window, "Result")->text().startsWith(u"Not written"));
        QVERIFY(!QFile::exists(Disc()));
        QCOMPARE(ScratchBesideDisc(), QStringList());
    }

    // A window destroyed during a burn (the application quits) cancels it and waits for its end.
    void DestroyingTheWindowEndsItsBurn() {
        auto Window = Open();
        Find<QCheckBox>(*Window, "DVD")->setChecked(true);
        Drop(*Window, {Sparse(QStringLiteral("large.bin"), 4000 * MiB)});
        ClickBurn(*Window);
        auto* Progress = Find<QProgressBar>(*Window, "Progress");
        QTRY_VERIFY_WITH_TIMEOUT(Progress->text().startsWith(u"writing") || !Window->Running(),
                                 BurnTimeoutMs);
        QVERIFY2(Window->Running(), "the burn ended before the window went");
        Window.reset();
        QVERIFY(!QFile::exists(Disc()));
        QCOMPARE(ScratchBesideDisc(), QStringList());
    }

    // The bar measures against the disc line's free space; Burn is offered only while it fits.
    void BurnIsOnlyOfferedWhenTheSelectionFits() {
        const auto Window = Open();
        auto* Burn = Find<QPushButton>(*Window, "Burn");
        auto* DiscLine = Find<QLabel>(*Window, "DiscLine");
        Drop(*Window, {Write(QStringLiteral("small.txt"), "small\n")});
        WaitForMeasure(*Window);
        QVERIFY(Burn->isEnabled());
        // 800 MiB is more than a CD holds and less than a DVD; a virtual disc may become either.
        Drop(*Window, {Sparse(QStringLiteral("film.bin"), 800 * MiB)});
        for (const bool DVD : {true, false}) {
            Find<QCheckBox>(*Window, "DVD")->setChecked(DVD);
            WaitForMeasure(*Window);
            QCOMPARE(SizeText(*Window).contains(u"does not fit"), !DVD);
            QCOMPARE(FreeText(SizeText(*Window)), FreeText(DiscLine->text()));
            QCOMPARE(FreeText(DiscLine->text()),
                     DVD ? QStringLiteral("4.4 GiB") : QStringLiteral("703.1 MiB"));
            QCOMPARE(Burn->isEnabled(), DVD);
        }
        Shot(*Window, QStringLiteral("does-not-fit"));
    }

    // A CD or a DVD in the drive sets the DVD switch, which the person cannot change then.
    void TheDiscDecidesTheDVDSwitch() {
        Write(QStringLiteral("small.txt"), "small\n");
        for (const bool IsDVD : {true, false}) {
            UseStandin(0, IsDVD ? "medium=DVD+R;state=blank;sessions=0;label=;used_bytes=0;"
                                  "free_bytes=4700372992;needed_bytes=1048576"
                                : "medium=CD-R;state=blank;sessions=0;label=;used_bytes=0;"
                                  "free_bytes=737280000;needed_bytes=1048576");
            const auto Window = Open();
            auto* DVD = Find<QCheckBox>(*Window, "DVD");
            DVD->setChecked(!IsDVD);
            Drop(*Window, {Path(QStringLiteral("small.txt"))});
            WaitForMeasure(*Window);
            QCOMPARE(Find<QLabel>(*Window, "DiscLine")->text(),
                     IsDVD ? QStringLiteral("Blank DVD+R, 4.4 GiB free")
                           : QStringLiteral("Blank CD-R, 703.1 MiB free"));
            QCOMPARE(SizeText(*Window), IsDVD ? QStringLiteral("1.0 MiB needed of 4.4 GiB free")
                                              : QStringLiteral("1.0 MiB needed of 703.1 MiB free"));
            QCOMPARE(DVD->isChecked(), IsDVD);
            QVERIFY(!DVD->isEnabled());
        }
    }

    // Closing the window during a burn waits for the burn's end, then closes it.
    void ClosingWaitsForTheBurn() {
        for (int Try = 0; Try < 3; ++Try) {
            init();
            const auto Window = Open();
            Find<QCheckBox>(*Window, "DVD")->setChecked(true);
            Drop(*Window, {Sparse(QStringLiteral("medium.bin"), 64 * MiB)});
            ClickBurn(*Window);
            // The burn's end reaches the window only through its event loop, so it is running
            // until the next wait, whenever the recorder finishes.
            QVERIFY(!Window->close());
            QVERIFY(Window->isVisible());
            QTRY_VERIFY_WITH_TIMEOUT(!Window->isVisible(), BurnTimeoutMs);
            QCOMPARE(Window->LastError(), std::error_code());
            QVERIFY(
                Run(QStringLiteral("isoinfo"), {QStringLiteral("-f"), QStringLiteral("-i"), Disc()})
                    .contains(u"MEDIUM.BIN"));
        }
    }
};

QTEST_MAIN(BurnerWindowTest)
#include "BurnerWindowTest.moc"
