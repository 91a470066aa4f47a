// The burn. The component blocks until the tool has ended and fires its events on the thread that
// called it, so the burn runs on a worker thread and the events travel to the window as queued
// signals. While it runs the settings are locked (the worker reads them), Cancel() is the only
// call the window makes on the component, and the window does not close.
#include "BurnerWindow.hpp"

#include "DiscWords.hpp"

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
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QUrl>

namespace {

constexpr double PercentScale = 10.0; // the progress bar counts tenths of a percent

} // namespace

void BurnerWindow::ConnectComponentEvents() {
    FBurner->SetOnProgress(
        [this](System::TObject*, const System::UnicodeString& Phase, double Percent) {
            emit ProgressArrived(ToQString(Phase), Percent);
        });
    FBurner->SetOnOutput([this](System::TObject*, const System::UnicodeString& Line, bool IsError) {
        emit LineArrived(ToQString(Line), IsError);
    });
    connect(this, &BurnerWindow::ProgressArrived, this, &BurnerWindow::ShowProgress,
            Qt::QueuedConnection);
    connect(this, &BurnerWindow::LineArrived, this, &BurnerWindow::AppendLine,
            Qt::QueuedConnection);
    // Queued after every line and progress the run emitted before it ended.
    connect(this, &BurnerWindow::BurnEnded, this, &BurnerWindow::FinishBurn, Qt::QueuedConnection);
}

BurnerWindow::~BurnerWindow() {
    // The application may quit without closing the window: end the run before the component goes.
    if (FWorker != nullptr) {
        FBurner->Cancel();
        FWorker->wait();
        delete FWorker;
    }
}

void BurnerWindow::StartBurn() {
    const char16_t Letter = DriveLetter();
    if (Burning() || Letter == 0 || FFiles->count() == 0) {
        return;
    }
    FLog->clear();
    FResult->clear();
    FPhase.clear();
    FProgress->setValue(0);
    FProgress->setFormat(QStringLiteral("Starting…"));
    const bool Image = FKind->currentIndex() == ImageKind;
    const System::UnicodeString ImageFile = FBurner->Files()->Strings(0);
    Queltburner::TQueltBurner* Burner = FBurner.get();
    FWorker = QThread::create([this, Burner, Letter, Image, ImageFile] {
        const int Result = Image ? Burner->BurnImage(ImageFile, Letter) : Burner->Burn(Letter);
        emit BurnEnded(Result);
    });
    SetBurning(true);
    FWorker->start();
}

void BurnerWindow::CancelBurn() {
    if (Burning()) {
        FBurner->Cancel();
        FCancel->setEnabled(false);
        FProgress->setFormat(QStringLiteral("Cancelling…"));
    }
}

void BurnerWindow::ShowProgress(const QString& Phase, double Percent) {
    if (Phase != FPhase) {
        FPhase = Phase;
        FPhaseClock.start();
    }
    FProgress->setValue(static_cast<int>(Percent * PercentScale));
    QString Text = QStringLiteral("%1 %2%").arg(Phase).arg(Percent, 0, 'f', 1);
    const double Seconds = static_cast<double>(FPhaseClock.elapsed()) / 1000.0;
    // Rate and time left follow the phases that move the selection's bytes.
    if ((Phase == u"writing" || Phase == u"verifying") && Percent > 0.0 && Seconds > 0.5) {
        const double Bytes = static_cast<double>(FNeededBytes) * Percent / 100.0;
        if (FNeededBytes > 0) {
            Text += QStringLiteral(" · %1/s").arg(
                ReadableBytes(static_cast<std::uint64_t>(Bytes / Seconds)));
        }
        Text += QStringLiteral(" · ") + TimeLeft(Seconds * (100.0 - Percent) / Percent);
    }
    FProgress->setFormat(Text);
}

void BurnerWindow::AppendLine(const QString& Line, bool IsError) {
    // Progress lines are what the progress bar shows.
    if (!IsError && Line.startsWith(u"progress ")) {
        return;
    }
    FLog->appendPlainText(IsError ? QStringLiteral("! ") + Line : Line);
}

void BurnerWindow::FinishBurn(int Result) {
    FWorker->wait();
    delete FWorker;
    FWorker = nullptr;
    FLastResult = Result;
    FResult->setText(
        Result == Queltburner::ResultSuccess
            ? QStringLiteral("Done: the disc is written.")
            : QStringLiteral("Not written: %1.").arg(ToQString(FBurner->ResultMeaning(Result))));
    FProgress->setFormat(Result == Queltburner::ResultSuccess ? QStringLiteral("Done")
                                                              : QStringLiteral("Stopped"));
    if (Result == Queltburner::ResultSuccess) {
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
