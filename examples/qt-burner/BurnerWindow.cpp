// The burning window. Everything it asks of the component runs off its thread: the drive list on a
// thread of its own; the questions about the disc and the selection, and the burn, as jobs. Their
// answers and events reach the window's thread through QMetaObject::invokeMethod.
#include "BurnerWindow.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <chrono>
#include <functional>
#include <utility>

using Queltburner::TBurnError;
using Queltburner::TJobResult;
using Queltburner::TMediumKind;
using Queltburner::TQueltBurner;

namespace {

QString ToQString(const System::UnicodeString& Text) {
    return QString::fromStdU16String(Text);
}

// Names a widget for the window's test, which finds the widgets as a person would.
template <typename Widget>
Widget* Named(Widget* Made, const char* Name) {
    Made->setObjectName(QLatin1StringView(Name));
    return Made;
}

// Calls Handle(window) on the window's thread, after what is queued there already. The application
// receives the call, not the window, which may be gone by then (a question it no longer waits for
// may still answer): the call is dropped then.
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
    return QStringLiteral("%1:  %2%3")
        .arg(QChar(Drive.Letter),
             Name.isEmpty() || Target.isEmpty() ? Name + Target
                                                : QStringLiteral("%1 (%2)").arg(Name, Target),
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
    static const std::array<const char*, 7> Phases{"starting", "preparing", "erasing", "writing",
                                                   "closing",  "verifying", "finished"};
    QString Text = QStringLiteral("%1 %2%").arg(
        QLatin1StringView(Phases.at(static_cast<std::size_t>(Progress.Phase))),
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

BurnerWindow::BurnerWindow(QWidget* Parent)
    : QWidget(Parent), FBurner(std::make_unique<TQueltBurner>(nullptr)) {
    FLookTimer = new QTimer(this);
    FLookTimer->setSingleShot(true);
    FLookTimer->setInterval(200); // a label typed is asked about once, not at every key
    connect(FLookTimer, &QTimer::timeout, this, &BurnerWindow::Look);
    setWindowTitle(QStringLiteral("QueltBurner"));
    // Each widget shows its property and sets it when changed; the disc and the selection are then
    // asked about again.
    const auto Sets = [this](auto Set) {
        return [this, Set](const auto& Value) {
            Set(*FBurner, Value);
            LookSoon();
        };
    };
    FDrives = Named(new QComboBox, "Drives");
    connect(FDrives, &QComboBox::currentIndexChanged, this, [this] {
        FDiscLine->setText(QStringLiteral("Looking at the disc…"));
        LookSoon();
    });
    FDiscLine = Named(new QLabel, "DiscLine");
    auto* Kind = new QComboBox; // in the order of TDiskType
    Kind->addItems({QStringLiteral("Data disc"), QStringLiteral("Audio CD"),
                    QStringLiteral("Video CD"), QStringLiteral("Super Video CD"),
                    QStringLiteral("DVD-Video")});
    connect(Kind, &QComboBox::currentIndexChanged, this, Sets([](TQueltBurner& Burner, int Index) {
                Burner.SetDiskType(static_cast<Queltburner::TDiskType>(Index));
            }));
    auto* Label = Named(new QLineEdit(ToQString(FBurner->VolumeLabel())), "Label");
    connect(Label, &QLineEdit::textChanged, this,
            Sets([](TQueltBurner& Burner, const QString& Text) {
                Burner.SetVolumeLabel(Text.toStdU16String());
            }));
    FSettings = new QWidget;
    auto* Form = new QFormLayout(FSettings);
    Form->setContentsMargins(0, 0, 0, 0);
    Form->addRow(QStringLiteral("&Drive:"), FDrives);
    Form->addRow(QStringLiteral("In the drive:"), FDiscLine);
    Form->addRow(QStringLiteral("&Kind:"), Kind);
    Form->addRow(QStringLiteral("&Label:"), Label);

    FFiles = new QListWidget;
    const auto Button = [this](QBoxLayout* Row, const QString& Text, auto Clicked) {
        auto* Made = new QPushButton(Text);
        connect(Made, &QPushButton::clicked, this, Clicked);
        Row->addWidget(Made);
        return Made;
    };
    auto* FileButtons = new QHBoxLayout;
    Button(FileButtons, QStringLiteral("Add &files…"), [this] {
        AddEntries(QFileDialog::getOpenFileNames(this, QStringLiteral("Add files")));
    });
    Button(FileButtons, QStringLiteral("Add f&older…"), [this] {
        const QString Folder =
            QFileDialog::getExistingDirectory(this, QStringLiteral("Add a folder"));
        AddEntries(Folder.isEmpty() ? QStringList() : QStringList{Folder});
    });
    Button(FileButtons, QStringLiteral("&Clear"), [this] {
        FFiles->clear();
        FBurner->Files()->Clear();
        LookSoon();
    });
    FileButtons->addStretch();
    Form->addRow(QStringLiteral("Files (or drop them here):"), FFiles);
    Form->addRow(QString(), FileButtons);

    auto* Switches = new QHBoxLayout;
    const auto Switch = [&](const char* Name, const char* Text, bool On, auto Set) {
        auto* Box = Named(new QCheckBox(QString::fromUtf8(Text)), Name);
        Box->setChecked(On);
        connect(Box, &QCheckBox::toggled, this, Sets(Set));
        Switches->addWidget(Box);
        return Box;
    };
    Switch("Verify", "&Verify", FBurner->Verify(), std::mem_fn(&TQueltBurner::SetVerify));
    FDVD = Switch("DVD", "D&VD", FBurner->DVD(), std::mem_fn(&TQueltBurner::SetDVD));
    // Adding to the disc's files imports its last session (0); off, the disc must be blank (-1).
    Switch("Continue", "Add to the disc's &files", FBurner->ContinueSession() >= 0,
           [](TQueltBurner& Burner, bool On) {
               Burner.SetContinueSession(On ? 0 : Queltburner::Initial::ContinueSession);
           });
    Switch("Erase", "&Erase first", FBurner->ForceEraseDisk(),
           std::mem_fn(&TQueltBurner::SetForceEraseDisk));
    Switches->addStretch();
    Form->addRow(QString(), Switches);

    FSizeBar = Named(new QProgressBar, "SizeBar");   // percent of the disc's free space
    FProgress = Named(new QProgressBar, "Progress"); // percent of the burn
    FProgress->setValue(0);
    FProgress->setFormat(QStringLiteral("Ready"));
    auto* RunRow = new QHBoxLayout;
    RunRow->addWidget(FProgress, 1);
    FBurn = Named(Button(RunRow, QStringLiteral("&Burn"), [this] { Burn(); }), "Burn");
    FBurn->setDefault(true);
    FCancel = Named(Button(RunRow, QStringLiteral("&Cancel"), [this] { Cancel(); }), "Cancel");
    FResult = Named(new QLabel, "Result");
    FResult->setWordWrap(true);
    FLog = new QPlainTextEdit;
    FLog->setReadOnly(true);
    FLog->setPlaceholderText(QStringLiteral("What the burning tool says appears here."));

    auto* Main = new QVBoxLayout(this);
    Main->addWidget(FSettings, 3);
    Main->addWidget(FSizeBar);
    Main->addLayout(RunRow);
    Main->addWidget(FResult);
    Main->addWidget(FLog, 2);
    resize(720, 640);
    RefreshDrives();
    LookSoon();
}

void BurnerWindow::AddEntries(const QStringList& Paths) {
    for (const QString& Path : Paths) {
        const QString Clean = QDir::cleanPath(Path);
        FBurner->Files()->Add(Clean.toStdU16String());
        FFiles->addItem(Clean);
    }
    LookSoon();
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

void BurnerWindow::closeEvent(QCloseEvent* Event) {
    if (Running()) {
        // Ending the window would end the tool halfway; the window goes once the burn has ended.
        FCloseWhenDone = true;
        FResult->setText(QStringLiteral("The window closes once the burn has ended."));
        Event->ignore();
    }
}

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

char16_t BurnerWindow::DriveLetter() const {
    return FDrives->currentData().toChar().unicode(); // 0 when there is none
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
    if (FDiscSetsDVD) {
        const QSignalBlocker Block(FDVD);
        FDVD->setChecked(Kind == TMediumKind::DVD);
        FBurner->SetDVD(Kind == TMediumKind::DVD);
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
    FSizeBar->setFormat(Text);
    FSizeBar->setStyleSheet(Answer == Fit::DoesNotFit
                                ? QStringLiteral("QProgressBar::chunk { background: #e57373; }")
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
    FDVD->setToolTip(FDiscSetsDVD ? QStringLiteral("Set by the disc in the drive") : QString());
    FBurn->setEnabled(Idle && FFit != Fit::DoesNotFit && FFiles->count() > 0 && DriveLetter() != 0);
    FCancel->setEnabled(!Idle && !FCancelAsked);
}

// A burn clicked before the latest change was measured waits for that measure first.
void BurnerWindow::Burn() {
    FLog->clear();
    FResult->clear();
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
    FResult->setText(Error ? QStringLiteral("Not written: %1.").arg(Reason)
                           : QStringLiteral("Done: the disc is written."));
    FProgress->setFormat(Error ? QStringLiteral("Not written") : QStringLiteral("Done"));
    FProgress->setValue(Error ? FProgress->value() : FProgress->maximum());
    UpdateWidgets();
    if (FCloseWhenDone) {
        close();
    }
}
