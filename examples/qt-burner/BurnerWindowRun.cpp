// What the window asks of the component, all of it off the window's thread: the drive list on a
// thread of its own; the questions about the disc and the selection, and the burn, as jobs. Their
// answers and events reach the window's thread through QMetaObject::invokeMethod.
#include "BurnerWindow.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <functional>
#include <utility>

using Queltburner::TBurnError;
using Queltburner::TJobResult;
using Queltburner::TMediumKind;

namespace {

// Calls Handle(window) on the window's thread, after what is queued there; dropped if the window
// has gone by then (a question it no longer waits for may still answer).
void Later(const QPointer<BurnerWindow>& Window, std::function<void(BurnerWindow&)> Handle) {
    QMetaObject::invokeMethod(
        qApp,
        [Window, Handle = std::move(Handle)] {
            if (Window) {
                Handle(*Window);
            }
        },
        Qt::QueuedConnection);
}

// "703.1 MiB": units of 1,024, as the disc's own sizes are counted.
QString ReadableBytes(std::uint64_t Bytes) {
    return QLocale::c().formattedDataSize(static_cast<qint64>(Bytes), 1,
                                          QLocale::DataSizeIecFormat);
}

// "E:  virtual disc (/home/me/disc.iso)", "F:  HL-DT-ST DVDRAM GH24NSD1 (/dev/sr0), in use", or
// the letter and its target alone where the host knows no more.
QString DriveText(const Queltburner::TOpticalDrive& Drive) {
    QString Name = ToQString(Drive.Vendor + u' ' + Drive.Model).trimmed();
    Name = Name.isEmpty() && Drive.Media == u"any" ? QStringLiteral("virtual disc") : Name;
    const QString Target = ToQString(Drive.Target);
    const QString Both = QStringLiteral("%1 (%2)").arg(Name, Target);
    return QStringLiteral("%1:  %2%3")
        .arg(QChar(Drive.Letter), Name.isEmpty() || Target.isEmpty() ? Name + Target : Both,
             Drive.Busy ? QStringLiteral(", in use") : QString());
}

// "Blank virtual disc, 703.1 MiB free", "DVD+RW with 2 sessions ("PHOTOS"), 4.1 GiB free", "No
// disc in the drive", or why it is not known.
QString DiscLine(const Queltburner::TJobResult& Answer) {
    const Queltburner::DiscReport& Disc = Answer.Disc;
    const QString Medium = Disc.Medium.empty() ? QStringLiteral("disc") : ToQString(Disc.Medium);
    if (Answer.Error) {
        return QStringLiteral("Not known: %1").arg(ToQString(Answer.Reason));
    }
    switch (Disc.State) {
    case Queltburner::DiscState::NoDisc:
        return QStringLiteral("No disc in the drive");
    case Queltburner::DiscState::NotADisc:
        return QStringLiteral("Not a disc: the drive holds something else");
    case Queltburner::DiscState::Blank:
        return QStringLiteral("Blank %1, %2 free").arg(Medium, ReadableBytes(Disc.FreeBytes));
    case Queltburner::DiscState::Appendable:
        return QStringLiteral("%1 with %2 session%3 (\"%4\"), %5 free")
            .arg(Medium, QString::number(Disc.Sessions),
                 Disc.Sessions == 1 ? QString() : QStringLiteral("s"), ToQString(Disc.Label),
                 ReadableBytes(Disc.FreeBytes));
    case Queltburner::DiscState::Closed:
        return QStringLiteral("Closed %1 (\"%2\"): nothing can be added")
            .arg(Medium, ToQString(Disc.Label));
    }
    return {};
}

// "writing 42.0% · 0:42 left".
QString ProgressText(const Queltburner::TJobProgress& Progress) {
    // In the order of TJobPhase.
    static const char* const Phases[] = {"starting", "preparing", "erasing", "writing",
                                         "closing",  "verifying", "finished"};
    QString Text = QStringLiteral("%1 %2%").arg(
        QLatin1StringView(Phases[static_cast<std::size_t>(Progress.Phase)]),
        QString::number(Progress.Percent, 'f', 1));
    if (Progress.Remaining.count() >= 0) {
        const auto Seconds = std::chrono::round<std::chrono::seconds>(Progress.Remaining).count();
        Text += QStringLiteral(" · %1:%2 left")
                    .arg(Seconds / 60)
                    .arg(Seconds % 60, 2, 10, QLatin1Char('0'));
    }
    return Text;
}

} // namespace

BurnerWindow::~BurnerWindow() {
    for (const std::shared_ptr<Queltburner::TBurnJob>& Job : {FJob, FLook}) {
        if (Job) {
            Job->Cancel();
            Job->Wait();
        }
    }
}

// OpticalDrives asks the host about every letter (a device, its lock, a file on a slow disk), so
// a component of its own asks on another thread; the list is made again 3 seconds after it came.
void BurnerWindow::RefreshDrives() {
    FDrivesMade = std::async(std::launch::async, [Window = QPointer<BurnerWindow>(this)] {
        Queltburner::TQueltBurner Asker(nullptr);
        Later(Window,
              [Drives = Asker.OpticalDrives()](BurnerWindow& Self) { Self.ShowDrives(Drives); });
    });
}

// Updated in place, so that a list open meanwhile stays open.
void BurnerWindow::ShowDrives(const std::vector<Queltburner::TOpticalDrive>& Drives) {
    const char16_t Chosen = DriveLetter();
    for (std::size_t Index = 0; Index < Drives.size(); ++Index) {
        if (std::cmp_equal(Index, FDrives->count())) {
            FDrives->addItem(QString()); // the first is chosen, and its disc looked at
        }
        FDrives->setItemText(static_cast<int>(Index), DriveText(Drives[Index]));
        FDrives->setItemData(static_cast<int>(Index), QChar(Drives[Index].Letter));
    }
    while (std::cmp_greater(FDrives->count(), Drives.size())) {
        FDrives->removeItem(FDrives->count() - 1);
    }
    if (Chosen != 0 && DriveLetter() != Chosen) {
        LookSoon(); // another drive in its place
    }
    QTimer::singleShot(3000, this, &BurnerWindow::RefreshDrives);
}

void BurnerWindow::LookSoon() {
    FLookTimer->start();
    SettleFit(Fit::Pending, QStringLiteral("Measuring…"));
}

void BurnerWindow::Look() {
    FLookTimer->stop();
    if (FStep == Step::Burning) {
        return; // the burn's end looks again
    }
    if (FLook) {
        FLook->Cancel();
    }
    ++FLookTurn;
    FLook = DriveLetter() == 0
                ? nullptr
                : FBurner->StartDescribeDisc(DriveLetter(), AnswerTo(&BurnerWindow::ShowDisc));
    if (!FLook) {
        FDiscLine->setText(QStringLiteral("No optical drive"));
        SettleFit(Fit::NotKnown, QStringLiteral("No drive to measure against"));
    }
}

Queltburner::TJobEvents BurnerWindow::AnswerTo(void (BurnerWindow::*Show)(const TJobResult&)) {
    return {.OnFinished = [Window = QPointer<BurnerWindow>(this), Turn = FLookTurn,
                           Show](const TJobResult& Answer) {
        Later(Window, [Turn, Show, Answer](BurnerWindow& Self) {
            if (Turn == Self.FLookTurn) {
                (Self.*Show)(Answer);
            }
        });
    }};
}

void BurnerWindow::ShowDisc(const TJobResult& Answer) {
    FDiscLine->setText(DiscLine(Answer));
    FFreeBytes = Answer.Disc.FreeBytes;
    // A CD or a DVD in the drive sets the DVD switch; a virtual disc leaves it to the person.
    const TMediumKind Kind = Answer.Error ? TMediumKind::Unknown : Answer.Disc.Kind;
    FDiscSetsDVD = Kind == TMediumKind::CD || Kind == TMediumKind::DVD;
    if (FDiscSetsDVD && FDVD->isChecked() != (Kind == TMediumKind::DVD)) {
        FDVD->setChecked(Kind == TMediumKind::DVD); // which asks again, with the switch set so
        return;
    }
    if (FFiles->count() == 0) {
        SettleFit(Fit::NotKnown, QStringLiteral("Nothing selected"));
    } else if (Answer.Error) {
        SettleFit(Fit::NotKnown, QStringLiteral("Not measured")); // the burn will say why
    } else {
        FLook = FBurner->StartMeasureBurn(DriveLetter(), AnswerTo(&BurnerWindow::ShowSize));
    }
}

// Against the free space of the disc's line, asked with the same settings just before (the
// measure's own FreeBytes is the same number): the line and the bar never disagree.
void BurnerWindow::ShowSize(const TJobResult& Answer) {
    if (Answer.Error) {
        SettleFit(Fit::NotKnown, QStringLiteral("Not measured: %1").arg(ToQString(Answer.Reason)));
        return;
    }
    const std::uint64_t Needed = Answer.Size.NeededBytes;
    const bool Fits = Needed <= FFreeBytes;
    const std::uint64_t Percent = FFreeBytes == 0 ? 100 : Needed * 100 / FFreeBytes;
    SettleFit(Fits ? Fit::Fits : Fit::DoesNotFit,
              QStringLiteral("%1 needed of %2 free%3")
                  .arg(ReadableBytes(Needed), ReadableBytes(FFreeBytes),
                       Fits ? QString() : QStringLiteral(": does not fit")),
              static_cast<int>(std::min<std::uint64_t>(Percent, 100)));
}

// A burn that waited for an answer goes on, or ends when its selection does not fit.
void BurnerWindow::SettleFit(Fit Answer, const QString& Text, int Percent) {
    FFit = Answer;
    FSizeBar->setValue(Percent);
    FSizeBar->setToolTip(Text); // whole, where the bar has no room for it
    FSizeBar->setFormat(FSizeBar->fontMetrics().elidedText(Text, Qt::ElideRight, width() - 40));
    FSizeBar->setStyleSheet(Answer == Fit::DoesNotFit
                                ? QStringLiteral("QProgressBar { text-align: center; }"
                                                 "QProgressBar::chunk { background: #e57373; }")
                                : QString());
    if (FStep == Step::Measuring && Answer == Fit::DoesNotFit) {
        EndBurn(TBurnError::DoesNotFit, QStringLiteral("the selection does not fit on the disc"));
    } else if (FStep == Step::Measuring && Answer != Fit::Pending) {
        StartBurnJob();
    }
    UpdateWidgets();
}

void BurnerWindow::UpdateWidgets() {
    const bool Idle = FStep == Step::Idle;
    FSettings->setEnabled(Idle);
    setAcceptDrops(Idle);
    FDVD->setEnabled(!FDiscSetsDVD);
    FBurn->setEnabled(Idle && FFit != Fit::DoesNotFit && FFiles->count() > 0 && DriveLetter() != 0);
    FCancel->setEnabled(!Idle && !FCancelAsked);
}

// A burn clicked before the latest change was measured waits for that measure first.
void BurnerWindow::Burn() {
    FLog->clear();
    FProgress->setValue(0);
    FProgress->setFormat(QStringLiteral("Measuring the selection…"));
    FCancelAsked = false;
    FStep = Step::Measuring;
    UpdateWidgets();
    if (FFit != Fit::Pending) {
        StartBurnJob();
    } else if (FLookTimer->isActive()) {
        Look(); // now, not after the pause for typing
    }
}

void BurnerWindow::StartBurnJob() {
    FStep = Step::Burning;
    FProgress->setFormat(QStringLiteral("Starting…"));
    const QPointer<BurnerWindow> Window(this);
    Queltburner::TJobEvents Events;
    Events.OnProgress = [Window](const Queltburner::TJobProgress& Progress) {
        Later(Window, [Progress](BurnerWindow& Self) {
            Self.FProgress->setValue(static_cast<int>(Progress.Overall));
            if (!Self.FCancelAsked) {
                Self.FProgress->setFormat(ProgressText(Progress));
            }
        });
    };
    Events.OnOutput = [Window](const System::UnicodeString& Line, bool IsError) {
        Later(Window, [Text = (IsError ? QStringLiteral("! ") : QString()) + ToQString(Line)](
                          BurnerWindow& Self) { Self.FLog->appendPlainText(Text); });
    };
    Events.OnFinished = [Window](const TJobResult& Result) {
        Later(Window, [Result](BurnerWindow& Self) {
            Self.FJob.reset();
            for (const System::UnicodeString& Entry : Result.SkippedEntries) {
                Self.FLog->appendPlainText(QStringLiteral("! Left out: ") + ToQString(Entry));
            }
            Self.LookSoon(); // the disc has changed
            Self.EndBurn(Result.Error, ToQString(Result.Reason));
        });
    };
    FJob = FBurner->StartBurn(DriveLetter(), std::move(Events));
}

// Cancel sticks, whenever it comes: before the burn's job has started, the burn never starts;
// after, the job's own Cancel() ends it, before its tool has started or while it runs.
void BurnerWindow::Cancel() {
    if (FStep == Step::Measuring) {
        EndBurn(TBurnError::Cancelled, QStringLiteral("cancelled before the burn started"));
    } else if (FStep == Step::Burning && !FCancelAsked) {
        FCancelAsked = true;
        FJob->Cancel();
        FProgress->setFormat(QStringLiteral("Cancelling…"));
        UpdateWidgets();
    }
}

void BurnerWindow::EndBurn(std::error_code Error, const QString& Reason) {
    FStep = Step::Idle;
    FLastError = Error;
    FLog->appendPlainText(Error ? QStringLiteral("Not written: %1.").arg(Reason)
                                : QStringLiteral("Done: the disc is written."));
    FProgress->setFormat(Error ? QStringLiteral("Not written") : QStringLiteral("Done"));
    FProgress->setValue(Error ? 0 : FProgress->maximum());
    UpdateWidgets();
    if (FCloseWhenDone) {
        close();
    }
}
