// The jobs: the burn, and the questions about the disc and the selection. Each runs on a thread of
// its own and fires its events there, so every event is handed to the window's thread with
// QMetaObject::invokeMethod; the window never waits for a job while it is open. A burn keeps the
// settings locked while it runs, so that what the window shows is what is being written.
#include "BurnerWindow.hpp"

#include "DiscWords.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>

#include <algorithm>
#include <array>

using Queltburner::TJobResult;

namespace {

constexpr double PercentScale = 10.0; // the progress bar counts tenths of a percent

// A job event's handler that hands each call, in order, to Handle(window, arguments) on the
// window's thread. The application receives the calls, not the window, which may be gone by then
// (a question it no longer waits for may still answer): they are dropped then.
template <typename... Args, typename Handler>
std::function<void(const Args&...)> OnWindowThread(BurnerWindow* Self, Handler Handle) {
    return [Window = QPointer<BurnerWindow>(Self), Handle](const Args&... Values) {
        // Qt owns the queued call and deletes it once it has run.
        // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks)
        QMetaObject::invokeMethod(
            qApp,
            [Window, Handle, Values...] {
                if (Window) {
                    Handle(*Window, Values...);
                }
            },
            Qt::QueuedConnection);
    };
}

} // namespace

BurnerWindow::~BurnerWindow() {
    // The application may quit without closing the window: no tool is left running behind it.
    for (const std::shared_ptr<Queltburner::TBurnJob>& Job : {FJob, FDescribe.Job, FMeasure.Job}) {
        if (Job) {
            Job->Cancel();
            Job->Wait();
        }
    }
}

void BurnerWindow::StartBurn() {
    const char16_t Letter = DriveLetter();
    if (Burning() || Letter == 0 || FFiles->count() == 0) {
        return;
    }
    FLog->clear();
    FResult->clear();
    FProgress->setValue(0);
    FProgress->setFormat(QStringLiteral("Starting…"));
    Queltburner::TJobEvents Events;
    Events.OnProgress =
        OnWindowThread<Queltburner::TJobProgress>(this, std::mem_fn(&BurnerWindow::ShowProgress));
    Events.OnOutput = OnWindowThread<System::UnicodeString, bool>(
        this, [](BurnerWindow& W, const System::UnicodeString& Line, bool IsError) {
            W.FLog->appendPlainText((IsError ? QStringLiteral("! ") : QString()) + ToQString(Line));
        });
    Events.OnFinished = OnWindowThread<TJobResult>(this, std::mem_fn(&BurnerWindow::FinishBurn));
    FJob = FKind->currentIndex() == ImageKind
               ? FBurner->StartBurnImage(FBurner->Files()->Strings(0), Letter, std::move(Events))
               : FBurner->StartBurn(Letter, std::move(Events));
    SetBurning(true);
}

// The disc's line is asked as a job, so that a slow drive never holds the window up. A newer
// question cancels an older one, whose answer is dropped should it still come.
void BurnerWindow::DescribeDrive() {
    const char16_t Letter = DriveLetter();
    const unsigned Turn = FDescribe.Next();
    FDiscLine->setText(Letter == 0 ? QStringLiteral("No drive chosen")
                                   : QStringLiteral("Looking at the disc…"));
    Queltburner::TJobEvents Events;
    Events.OnFinished =
        OnWindowThread<TJobResult>(this, [Turn](BurnerWindow& W, const TJobResult& Answer) {
            if (Turn == W.FDescribe.Turn) {
                W.FDiscLine->setText(DiscLine(Answer.Result, Answer.Disc));
            }
        });
    FDescribe.Job = Letter == 0 ? nullptr : FBurner->StartDescribeDisc(Letter, std::move(Events));
}

// Asks the tool what the burn would take, as a job with the settings as they are now: the window
// stays usable meanwhile, and a change starts another measure, which cancels this one.
void BurnerWindow::MeasureSelection() {
    const unsigned Turn = FMeasure.Next();
    FSizeBar->setStyleSheet({});
    FSizeBar->setValue(0);
    const char16_t Letter = DriveLetter();
    if (FFiles->count() == 0 || Letter == 0 || FKind->currentIndex() == ImageKind || Burning()) {
        ShowMeasure({});
        return;
    }
    Queltburner::TJobEvents Events;
    Events.OnFinished =
        OnWindowThread<TJobResult>(this, [Turn](BurnerWindow& W, const TJobResult& Answer) {
            if (Turn == W.FMeasure.Turn) {
                W.ShowMeasure(Answer);
            }
        });
    FMeasure.Job = FBurner->StartMeasureBurn(Letter, std::move(Events));
}

// What cannot be measured (nothing to measure, no answer) is left to the burn to find out.
void BurnerWindow::ShowMeasure(const TJobResult& Answer) {
    const Queltburner::SizeReport& Size = Answer.Size;
    const bool Measured = Answer.Result == Queltburner::ResultSuccess &&
                          Size.Status == Queltburner::QueryStatus::Answered;
    FFits = !Measured || Size.NeededBytes <= Size.FreeBytes;
    if (!Measured) {
        FSizeBar->setFormat(FFiles->count() == 0 ? QStringLiteral("Nothing selected")
                                                 : QStringLiteral("Size not known"));
        UpdateBurnButton();
        return;
    }
    const std::uint64_t Scaled =
        Size.FreeBytes == 0 ? SizeBarScale : Size.NeededBytes * SizeBarScale / Size.FreeBytes;
    FSizeBar->setValue(static_cast<int>(std::min<std::uint64_t>(Scaled, SizeBarScale)));
    FSizeBar->setFormat(QStringLiteral("%1 needed of %2 free%3")
                            .arg(ReadableBytes(Size.NeededBytes), ReadableBytes(Size.FreeBytes),
                                 FFits ? QString() : QStringLiteral(": does not fit")));
    if (!FFits) {
        FSizeBar->setStyleSheet(QStringLiteral("QProgressBar { color: white; text-align: center; }"
                                               "QProgressBar::chunk { background: #c62828; }"));
    }
    UpdateBurnButton();
}

void BurnerWindow::CancelBurn() {
    if (Burning()) {
        FJob->Cancel();
        FCancel->setEnabled(false);
        FProgress->setFormat(QStringLiteral("Cancelling…"));
    }
}

void BurnerWindow::ShowProgress(const Queltburner::TJobProgress& Progress) {
    // In the order of TJobPhase: the job's start, the tool's phases, the job's end.
    static const std::array<const char*, 7> Phases{"starting", "preparing", "erasing", "writing",
                                                   "closing",  "verifying", "finished"};
    const QString Phase = QString::fromLatin1(Phases.at(static_cast<std::size_t>(Progress.Phase)));
    FProgress->setValue(static_cast<int>(Progress.Overall * PercentScale));
    QString Text = QStringLiteral("%1 %2%").arg(Phase).arg(Progress.Percent, 0, 'f', 1);
    if (Progress.BytesPerSecond > 0) {
        Text += QStringLiteral(" · %1/s").arg(
            ReadableBytes(static_cast<std::uint64_t>(Progress.BytesPerSecond)));
    }
    if (Progress.Remaining.count() >= 0) {
        Text += QStringLiteral(" · ") +
                TimeLeft(static_cast<double>(Progress.Remaining.count()) / 1000.0);
    }
    FProgress->setFormat(Text);
}

void BurnerWindow::FinishBurn(const Queltburner::TJobResult& Result) {
    FJob.reset();
    FLastResult = Result.Result;
    for (const System::UnicodeString& Entry : Result.SkippedEntries) {
        FLog->appendPlainText(QStringLiteral("! Left out (not found): %1").arg(ToQString(Entry)));
    }
    const bool Written = !Result.Error;
    FResult->setText(Written ? QStringLiteral("Done: the disc is written.")
                             : QStringLiteral("Not written: %1.")
                                   .arg(ToQString(FBurner->ResultMeaning(Result.Result))));
    FProgress->setFormat(Written ? QStringLiteral("Done") : QStringLiteral("Stopped"));
    if (Written) {
        FProgress->setValue(FProgress->maximum());
    }
    SetBurning(false);
    DescribeDrive();
    MeasureSoon();
    if (FCloseWhenDone) {
        close();
    }
}

void BurnerWindow::SetBurning(bool Running) {
    for (QWidget* Setting :
         std::initializer_list<QWidget*>{FDrives, FKind, FLabel, FFiles, FAddFiles, FAddFolder,
                                         FRemove, FVerify, FDVD, FContinue, FForceErase}) {
        Setting->setEnabled(!Running);
    }
    setAcceptDrops(!Running);
    FCancel->setEnabled(Running);
    UpdateBurnButton();
}

void BurnerWindow::closeEvent(QCloseEvent* Event) {
    if (Burning()) {
        // Ending the window would end the tool halfway; the window goes once the burn has ended.
        FCloseWhenDone = true;
        FResult->setText(QStringLiteral("The window closes once the burn has ended."));
        Event->ignore();
        return;
    }
    SaveSettings();
    Event->accept();
}

void BurnerWindow::dragEnterEvent(QDragEnterEvent* Event) {
    if (Event->mimeData()->hasUrls()) {
        Event->acceptProposedAction();
    }
}

void BurnerWindow::dropEvent(QDropEvent* Event) {
    QStringList Paths;
    for (const QUrl& Url : Event->mimeData()->urls()) {
        if (Url.isLocalFile()) {
            Paths << Url.toLocalFile();
        }
    }
    AddEntries(Paths);
    Event->acceptProposedAction();
}
