// The window's layout, the widgets bound to the component's properties, the selection, the size
// bar and the settings. The burn itself is in BurnerWindowRun.cpp.
#include "BurnerWindow.hpp"

#include "DiscWords.hpp"

#include <System.Classes.FormText.hpp>
#include <System.Classes.Streaming.hpp>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

using Queltburner::TDiskType;

namespace {} // namespace

BurnerWindow::BurnerWindow(QString SettingsFile, QWidget* Parent)
    : QWidget(Parent), FSettingsFile(std::move(SettingsFile)),
      FBurner(std::make_unique<Queltburner::TQueltBurner>(nullptr)) {
    FBurner->SetName(u"QueltBurner1");
    BuildLayout();
    LoadSettings();
    ShowSettings();
    ConnectWidgets();
    RefreshDrives();
    setAcceptDrops(true);
    SetBurning(false);
}

void BurnerWindow::BuildLayout() {
    setWindowTitle(QStringLiteral("QueltBurner"));
    FDrives = new QComboBox;
    FDrives->setMinimumContentsLength(24);
    FDiscLine = new QLabel;
    FDiscLine->setWordWrap(true);
    FKind = new QComboBox;
    FKind->addItems({QStringLiteral("Data disc"), QStringLiteral("Audio CD"),
                     QStringLiteral("Video CD"), QStringLiteral("Super Video CD"),
                     QStringLiteral("DVD-Video"), QStringLiteral("Disc image file")});
    FLabel = new QLineEdit;
    auto* Top = new QFormLayout;
    Top->addRow(QStringLiteral("&Drive:"), FDrives);
    Top->addRow(QStringLiteral("In the drive:"), FDiscLine);
    Top->addRow(QStringLiteral("&Kind:"), FKind);
    Top->addRow(QStringLiteral("&Label:"), FLabel);

    FFiles = new QListWidget;
    FFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FAddFiles = new QPushButton(QStringLiteral("Add &files…"));
    FAddFolder = new QPushButton(QStringLiteral("Add f&older…"));
    FRemove = new QPushButton(QStringLiteral("&Remove"));
    auto* FileButtons = new QVBoxLayout;
    for (QPushButton* Button : {FAddFiles, FAddFolder, FRemove}) {
        FileButtons->addWidget(Button);
    }
    FileButtons->addStretch();
    auto* FileRow = new QHBoxLayout;
    FileRow->addWidget(FFiles, 1);
    FileRow->addLayout(FileButtons);
    auto* FileBox = new QGroupBox(QStringLiteral("Files and folders (or drop them here)"));
    FileBox->setLayout(FileRow);

    FVerify = new QCheckBox(QStringLiteral("&Verify"));
    FDVD = new QCheckBox(QStringLiteral("D&VD"));
    FContinue = new QCheckBox(QStringLiteral("Add to the disc's &files"));
    FForceErase = new QCheckBox(QStringLiteral("&Erase first"));
    auto* Switches = new QHBoxLayout;
    for (QCheckBox* Box : {FVerify, FDVD, FContinue, FForceErase}) {
        Switches->addWidget(Box);
    }
    Switches->addStretch();

    FSizeBar = new QProgressBar;
    FSizeBar->setRange(0, SizeBarScale);
    FProgress = new QProgressBar;
    FProgress->setRange(0, SizeBarScale);
    FProgress->setValue(0);
    FProgress->setFormat(QStringLiteral("Ready"));
    FBurn = new QPushButton(QStringLiteral("&Burn"));
    FBurn->setDefault(true);
    FCancel = new QPushButton(QStringLiteral("&Cancel"));
    auto* RunRow = new QHBoxLayout;
    RunRow->addWidget(FProgress, 1);
    RunRow->addWidget(FBurn);
    RunRow->addWidget(FCancel);
    FResult = new QLabel;
    FResult->setWordWrap(true);
    FLog = new QPlainTextEdit;
    FLog->setReadOnly(true);
    FLog->setMaximumBlockCount(5000);
    FLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    FLog->setPlaceholderText(QStringLiteral("What the burning tool says appears here."));
    // Names for the window's test, which drives the widgets as a person would.
    FLabel->setObjectName(QStringLiteral("Label"));
    FDVD->setObjectName(QStringLiteral("DVD"));
    FContinue->setObjectName(QStringLiteral("Continue"));
    FSizeBar->setObjectName(QStringLiteral("SizeBar"));
    FProgress->setObjectName(QStringLiteral("Progress"));
    FBurn->setObjectName(QStringLiteral("Burn"));
    FCancel->setObjectName(QStringLiteral("Cancel"));
    FResult->setObjectName(QStringLiteral("Result"));

    auto* Main = new QVBoxLayout(this);
    Main->addLayout(Top);
    Main->addWidget(FileBox, 3);
    Main->addLayout(Switches);
    Main->addWidget(FSizeBar);
    Main->addLayout(RunRow);
    Main->addWidget(FResult);
    Main->addWidget(FLog, 2);
    resize(720, 640);
}

void BurnerWindow::ConnectWidgets() {
    FMeasureTimer = new QTimer(this);
    FMeasureTimer->setSingleShot(true);
    FMeasureTimer->setInterval(200);
    connect(FMeasureTimer, &QTimer::timeout, this, &BurnerWindow::MeasureSelection);
    connect(FDrives, &QComboBox::currentTextChanged, this, [this] {
        DescribeDrive();
        MeasureSoon();
    });
    connect(FKind, &QComboBox::currentIndexChanged, this, [this](int Index) {
        FBurner->SetDiskType(static_cast<TDiskType>(std::min<int>(Index, Queltburner::dtDVDVideo)));
        MeasureSoon();
    });
    connect(FLabel, &QLineEdit::textChanged, this, [this](const QString& Text) {
        FBurner->SetVolumeLabel(FromQString(Text));
        MeasureSoon();
    });
    const auto Bind = [this](QCheckBox* Box, void (Queltburner::TQueltBurner::*Setter)(bool)) {
        connect(Box, &QCheckBox::toggled, this, [this, Setter](bool On) {
            (FBurner.get()->*Setter)(On);
            MeasureSoon();
        });
    };
    Bind(FVerify, &Queltburner::TQueltBurner::SetVerify);
    Bind(FDVD, &Queltburner::TQueltBurner::SetDVD);
    Bind(FForceErase, &Queltburner::TQueltBurner::SetForceEraseDisk);
    // Adding to the disc imports its last session (0); off, the disc must be blank (-1).
    connect(FContinue, &QCheckBox::toggled, this, [this](bool On) {
        FBurner->SetContinueSession(On ? 0 : Queltburner::Initial::ContinueSession);
        MeasureSoon();
    });
    connect(FAddFiles, &QPushButton::clicked, this, &BurnerWindow::AddFiles);
    connect(FAddFolder, &QPushButton::clicked, this, &BurnerWindow::AddFolder);
    connect(FRemove, &QPushButton::clicked, this, &BurnerWindow::RemoveSelected);
    connect(FBurn, &QPushButton::clicked, this, &BurnerWindow::StartBurn);
    connect(FCancel, &QPushButton::clicked, this, &BurnerWindow::CancelBurn);
}

void BurnerWindow::ShowSettings() {
    const QSignalBlocker BlockKind(FKind);
    const QSignalBlocker BlockLabel(FLabel);
    FKind->setCurrentIndex(static_cast<int>(FBurner->DiskType()));
    FLabel->setText(ToQString(FBurner->VolumeLabel()));
    FVerify->setChecked(FBurner->Verify());
    FDVD->setChecked(FBurner->DVD());
    FContinue->setChecked(FBurner->ContinueSession() >= 0);
    FForceErase->setChecked(FBurner->ForceEraseDisk());
    FFiles->clear();
    for (int Index = 0; Index < FBurner->Files()->Count(); ++Index) {
        FFiles->addItem(ToQString(FBurner->Files()->Strings(Index)));
    }
}

void BurnerWindow::LoadSettings() {
    QFile File(FSettingsFile);
    if (File.open(QIODevice::ReadOnly)) {
        try {
            System::Classes::ReadComponentText(FromQString(QString::fromUtf8(File.readAll())),
                                               *FBurner);
        } catch (const System::Classes::EFormTextError& Error) {
            FLog->appendPlainText(
                QStringLiteral("! Settings not loaded: %1").arg(QString::fromUtf8(Error.what())));
        }
    }
}

void BurnerWindow::SaveSettings() {
    QDir().mkpath(QFileInfo(FSettingsFile).absolutePath());
    QFile File(FSettingsFile);
    if (File.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        File.write(ToQString(System::Classes::WriteComponentText(*FBurner)).toUtf8());
    }
}

void BurnerWindow::RefreshDrives() {
    const std::vector<Queltburner::TOpticalDrive> Drives = FBurner->OpticalDrives();
    {
        const QSignalBlocker Block(FDrives);
        FDrives->clear();
        for (const Queltburner::TOpticalDrive& Drive : Drives) {
            FDrives->addItem(
                QStringLiteral("%1:  %2").arg(QChar(Drive.Letter), ToQString(Drive.Target)));
        }
        // Where the host lists no drives, the user types the letter.
        FDrives->setEditable(Drives.empty());
        if (Drives.empty()) {
            FDrives->lineEdit()->setPlaceholderText(QStringLiteral("drive letter, for example E"));
        }
    }
    DescribeDrive();
    MeasureSoon();
}

char16_t BurnerWindow::DriveLetter() const {
    const QString Text = FDrives->currentText().trimmed();
    if (Text.isEmpty() || !Text.front().isLetter()) {
        return 0;
    }
    return Text.front().toUpper().unicode();
}

// Burn waits for the new measure: the last one was of another selection.
void BurnerWindow::MeasureSoon() {
    if (FMeasureTimer != nullptr) {
        FFits = false;
        FSizeBar->setFormat(QStringLiteral("Measuring…"));
        UpdateBurnButton();
        FMeasureTimer->start();
    }
}

void BurnerWindow::UpdateBurnButton() {
    FBurn->setEnabled(!Burning() && FFits && FFiles->count() > 0 && DriveLetter() != 0);
}

void BurnerWindow::AddEntries(const QStringList& Paths) {
    for (const QString& Path : Paths) {
        const QString Clean = QDir::cleanPath(Path);
        FBurner->Files()->Add(FromQString(Clean));
        FFiles->addItem(Clean);
    }
    MeasureSoon();
}

void BurnerWindow::AddFiles() {
    AddEntries(QFileDialog::getOpenFileNames(this, QStringLiteral("Add files")));
}

void BurnerWindow::AddFolder() {
    const QString Folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Add a folder"));
    if (!Folder.isEmpty()) {
        AddEntries({Folder});
    }
}

void BurnerWindow::RemoveSelected() {
    for (int Row = FFiles->count() - 1; Row >= 0; --Row) {
        if (FFiles->item(Row)->isSelected()) {
            delete FFiles->takeItem(Row);
            FBurner->Files()->Delete(Row);
        }
    }
    MeasureSoon();
}
