// The window driven as a person would: files dropped on it, buttons clicked, the result read off
// the screen; with the real component, the POSIX host and the tests' recorder writing to a virtual
// disc. Screenshots of the window go to QUELT_SCREENSHOT_DIR.
#include "BurnerWindow.hpp"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <utility>

namespace {

constexpr qint64 MiB = qint64{1024} * 1024;
constexpr int BurnTimeoutMs = 120000;
// The tries of a case whose outcome depends on when the window acts during a run.
constexpr int Tries = 5;

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

} // namespace

class BurnerWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;
    QString FShots;

    QString Path(const QString& Name) const { return FDir.filePath(Name); }
    QString Disc() const { return Path(QStringLiteral("disc.iso")); }

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
        auto Window = std::make_unique<BurnerWindow>(Path(QStringLiteral("burner.dfm")));
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

    // Clicks Burn once the size bar has measured the selection and allows it.
    static void ClickBurn(BurnerWindow& Window) {
        auto* Burn = Find<QPushButton>(Window, "Burn");
        QTRY_VERIFY_WITH_TIMEOUT(Burn->isEnabled(), 20000);
        QTest::mouseClick(Burn, Qt::LeftButton);
        QVERIFY(Window.Burning());
    }

    static void WaitForEnd(BurnerWindow& Window) {
        QTRY_VERIFY_WITH_TIMEOUT(!Window.Burning(), BurnTimeoutMs);
    }

    void Shot(BurnerWindow& Window, const QString& Name) const {
        QVERIFY(Window.grab().save(QDir(FShots).filePath(Name + QStringLiteral(".png"))));
    }

    // The files an interrupted run left beside the disc: its scratch copies and its lock.
    QStringList ScratchBesideDisc() const {
        return QDir(FDir.path())
            .entryList({QStringLiteral(".disc.iso*")}, QDir::Files | QDir::Hidden);
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
        QFile::remove(Path(QStringLiteral("burner.dfm")));
        qputenv("QUELT_REGISTRY", Path(QStringLiteral("user.reg")).toUtf8());
        qunsetenv("NEROCMD_DELAY_MS");
    }

    void BurnsDroppedFilesAndFolder() {
        const auto Window = Open();
        Drop(*Window, {Write(QStringLiteral("notes.txt"), "notes\n"),
                       Write(QStringLiteral("plan.txt"), "plan\n")});
        Write(QStringLiteral("photos/beach.jpg"), "not really a photo\n");
        Drop(*Window, {Path(QStringLiteral("photos"))});
        auto* Label = Find<QLineEdit>(*Window, "Label");
        Label->clear();
        QTest::keyClicks(Label, QStringLiteral("HOLIDAY"));
        QTRY_VERIFY(Find<QProgressBar>(*Window, "SizeBar")->text().contains(u"free"));
        Shot(*Window, QStringLiteral("before-burn"));
        ClickBurn(*Window);
        WaitForEnd(*Window);
        Shot(*Window, QStringLiteral("after-burn"));
        QCOMPARE(Window->LastResult(), 0);
        QVERIFY(Find<QLabel>(*Window, "Result")->text().startsWith(u"Done"));

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

    void CancelMidWriteLeavesTheDiscAsItWas() {
        const auto Window = Open();
        Drop(*Window, {Write(QStringLiteral("first.txt"), "first session\n")});
        ClickBurn(*Window);
        WaitForEnd(*Window);
        QCOMPARE(Window->LastResult(), 0);
        const QByteArray Before = Digest(Disc());

        Find<QCheckBox>(*Window, "Continue")->setChecked(true);
        Find<QCheckBox>(*Window, "DVD")->setChecked(true);
        Drop(*Window, {Sparse(QStringLiteral("large.bin"), 4000 * MiB)});
        auto* Progress = Find<QProgressBar>(*Window, "Progress");
        for (int Try = 0; Try < Tries; ++Try) {
            ClickBurn(*Window);
            QTRY_VERIFY_WITH_TIMEOUT(Progress->text().startsWith(u"writing") || !Window->Burning(),
                                     BurnTimeoutMs);
            QVERIFY2(Window->Burning(), "the burn ended before it could be cancelled");
            if (Try == 0) {
                QTRY_VERIFY_WITH_TIMEOUT(Progress->text().contains(u"left"), BurnTimeoutMs);
                Shot(*Window, QStringLiteral("during-burn"));
            }
            QTest::mouseClick(Find<QPushButton>(*Window, "Cancel"), Qt::LeftButton);
            WaitForEnd(*Window);
            QCOMPARE(Window->LastResult(), Queltburner::ResultCancelled);
            QCOMPARE(Digest(Disc()), Before);
            QCOMPARE(ScratchBesideDisc(), QStringList());
        }
        Shot(*Window, QStringLiteral("cancelled"));
    }

    // Cancel right after Burn: the job stops before the tool has written anything.
    void CancelAtOnceWritesNothing() {
        const auto Window = Open();
        Drop(*Window, {Write(QStringLiteral("notes.txt"), "notes\n")});
        ClickBurn(*Window);
        QTest::mouseClick(Find<QPushButton>(*Window, "Cancel"), Qt::LeftButton);
        WaitForEnd(*Window);
        QCOMPARE(Window->LastResult(), Queltburner::ResultCancelled);
        QVERIFY(Find<QLabel>(*Window, "Result")->text().startsWith(u"Not written"));
        QVERIFY(!QFile::exists(Disc()));
        QCOMPARE(ScratchBesideDisc(), QStringList());
    }

    // The questions about the disc and the selection take the tool's time, not the window's: with a
    // tool that takes two seconds over each, the window's events keep coming.
    void TheWindowAnswersWhileTheToolIsAsked() {
        qputenv("QUELT_REGISTRY", Path(QStringLiteral("standin.reg")).toUtf8());
        qputenv("NEROCMD_DELAY_MS", "2000");
        QElapsedTimer Clock;
        Clock.start();
        const auto Window = Open();
        qint64 Last = Clock.elapsed();
        qint64 LongestGap = 0;
        QTimer Tick;
        connect(&Tick, &QTimer::timeout, [&] {
            LongestGap = std::max(LongestGap, Clock.elapsed() - Last);
            Last = Clock.elapsed();
        });
        Tick.start(20);
        Drop(*Window, {Write(QStringLiteral("small.txt"), "small\n")});
        QTRY_VERIFY_WITH_TIMEOUT(Find<QProgressBar>(*Window, "SizeBar")->text().contains(u"needed"),
                                 20000);
        QVERIFY2(Clock.elapsed() >= 2000, "the tool did not take its time");
        QVERIFY2(LongestGap < 1000, qPrintable(QStringLiteral("held up %1 ms").arg(LongestGap)));
        QVERIFY(Find<QPushButton>(*Window, "Burn")->isEnabled());
    }

    // A window destroyed during a burn (the application quits) cancels it and waits for its end.
    void DestroyingTheWindowEndsItsBurn() {
        auto Window = Open();
        Find<QCheckBox>(*Window, "DVD")->setChecked(true);
        Drop(*Window, {Sparse(QStringLiteral("large.bin"), 4000 * MiB)});
        ClickBurn(*Window);
        auto* Progress = Find<QProgressBar>(*Window, "Progress");
        QTRY_VERIFY_WITH_TIMEOUT(Progress->text().startsWith(u"writing") || !Window->Burning(),
                                 BurnTimeoutMs);
        QVERIFY2(Window->Burning(), "the burn ended before the window went");
        Window.reset();
        QVERIFY(!QFile::exists(Disc()));
        QCOMPARE(ScratchBesideDisc(), QStringList());
    }

    void BurnIsOnlyOfferedWhenTheSelectionFits() {
        const auto Window = Open();
        auto* Burn = Find<QPushButton>(*Window, "Burn");
        auto* SizeBar = Find<QProgressBar>(*Window, "SizeBar");
        Drop(*Window, {Write(QStringLiteral("small.txt"), "small\n")});
        QTRY_VERIFY(Burn->isEnabled());
        // What fitted before says nothing about the new selection.
        Drop(*Window, {Sparse(QStringLiteral("film.bin"), 800 * MiB)});
        QVERIFY(!Burn->isEnabled());
        // 800 MiB is more than a CD holds and less than a DVD.
        for (const bool DVD : {true, false, true}) {
            Find<QCheckBox>(*Window, "DVD")->setChecked(DVD);
            QTRY_VERIFY(SizeBar->text().contains(u"needed") &&
                        SizeBar->text().contains(u"does not fit") != DVD);
            QCOMPARE(Burn->isEnabled(), DVD);
        }
        Shot(*Window, QStringLiteral("does-not-fit"));
    }

    void ClosingWaitsForTheBurnAndKeepsTheSettings() {
        for (int Try = 0; Try < Tries; ++Try) {
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
            QCOMPARE(Window->LastResult(), 0);
            QVERIFY(
                Run(QStringLiteral("isoinfo"), {QStringLiteral("-f"), QStringLiteral("-i"), Disc()})
                    .contains(u"MEDIUM.BIN"));
        }
        // The next window starts with the settings the last one closed with.
        const auto Next = Open();
        QVERIFY(Find<QCheckBox>(*Next, "DVD")->isChecked());
        QCOMPARE(Next->findChild<QListWidget*>()->count(), 1);
    }
};

QTEST_MAIN(BurnerWindowTest)
#include "BurnerWindowTest.moc"
