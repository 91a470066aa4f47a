// The window's layout, each widget bound to its property of the component, and the selection.
// What the window asks of the component is in BurnerWindowRun.cpp.
#include "BurnerWindow.hpp"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>
#include <utility>

using Queltburner::TQueltBurner;

namespace {

// Names a widget for the window's test, which finds the widgets as a person would.
template <typename Widget>
Widget* Named(Widget* Made, const char* Name) {
    Made->setObjectName(QLatin1StringView(Name));
    return Made;
}

// A button at the end of Row that calls Clicked.
template <typename Slot>
QPushButton* Button(QBoxLayout* Row, const QString& Text, const QObject* Context, Slot Clicked) {
    auto* Made = new QPushButton(Text);
    QObject::connect(Made, &QPushButton::clicked, Context, std::move(Clicked));
    Row->addWidget(Made);
    return Made;
}

} // namespace

BurnerWindow::BurnerWindow(QWidget* Parent)
    : QWidget(Parent), FBurner(std::make_unique<TQueltBurner>(nullptr)) {
    FLookTimer = new QTimer(this);
    FLookTimer->setSingleShot(true);
    FLookTimer->setInterval(200); // a label typed is asked about once, not at every key
    connect(FLookTimer, &QTimer::timeout, this, &BurnerWindow::Look);
    BuildSettings();
    FSizeBar = Named(new QProgressBar, "SizeBar");   // percent of the disc's free space
    FProgress = Named(new QProgressBar, "Progress"); // percent of the burn
    FProgress->setValue(0);
    FProgress->setFormat(QStringLiteral("Ready"));
    auto* RunRow = new QHBoxLayout;
    RunRow->addWidget(FProgress, 1);
    FBurn = Named(Button(RunRow, QStringLiteral("&Burn"), this, [this] { Burn(); }), "Burn");
    FBurn->setDefault(true);
    FCancel =
        Named(Button(RunRow, QStringLiteral("&Cancel"), this, [this] { Cancel(); }), "Cancel");
    FLog = new QPlainTextEdit;
    FLog->setReadOnly(true);
    FLog->setPlaceholderText(QStringLiteral("What the burning tool says, and how the burn ended."));
    auto* Main = new QVBoxLayout(this);
    Main->addWidget(FSettings, 3);
    Main->addWidget(FSizeBar);
    Main->addLayout(RunRow);
    Main->addWidget(FLog, 2);
    resize(720, 640);
    RefreshDrives();
    LookSoon();
}

// Each widget shows its property and sets it when changed; the disc and the selection are then
// asked about again.
void BurnerWindow::BuildSettings() {
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
    auto* Label = Named(new QLineEdit(ToQString(FBurner->VolumeLabel())), "Label");
    connect(Label, &QLineEdit::textChanged, this,
            Sets([](TQueltBurner& Burner, const QString& Text) {
                Burner.SetVolumeLabel(Text.toStdU16String());
            }));
    FFiles = new QListWidget;
    auto* FileButtons = new QHBoxLayout;
    Button(FileButtons, QStringLiteral("Add &files…"), this, [this] {
        AddEntries(QFileDialog::getOpenFileNames(this, QStringLiteral("Add files")));
    });
    Button(FileButtons, QStringLiteral("Add f&older…"), this, [this] {
        const QString Folder =
            QFileDialog::getExistingDirectory(this, QStringLiteral("Add a folder"));
        AddEntries(Folder.isEmpty() ? QStringList() : QStringList{Folder});
    });
    Button(FileButtons, QStringLiteral("&Clear"), this, [this] {
        FFiles->clear();
        FBurner->Files()->Clear();
        LookSoon();
    });
    FileButtons->addStretch();
    auto* Switches = new QHBoxLayout;
    const auto Switch = [&](const char* Name, const char* Text, bool On, auto Set) {
        auto* Box = Named(new QCheckBox(QString::fromUtf8(Text)), Name);
        Box->setChecked(On);
        connect(Box, &QCheckBox::toggled, this, Sets(Set));
        Switches->addWidget(Box);
        return Box;
    };
    FDVD = Switch("DVD", "D&VD", FBurner->DVD(), std::mem_fn(&TQueltBurner::SetDVD));
    // Adding to the disc's files imports its last session (0); off, the disc must be blank (-1).
    Switch("Continue", "Add to the disc's &files", FBurner->ContinueSession() >= 0,
           [](TQueltBurner& Burner, bool On) {
               Burner.SetContinueSession(On ? 0 : Queltburner::Initial::ContinueSession);
           });
    Switches->addStretch();
    FSettings = new QWidget;
    auto* Form = new QFormLayout(FSettings);
    Form->setContentsMargins(0, 0, 0, 0);
    Form->addRow(QStringLiteral("&Drive:"), FDrives);
    Form->addRow(QStringLiteral("In the drive:"), FDiscLine);
    Form->addRow(QStringLiteral("&Label:"), Label);
    Form->addRow(QStringLiteral("Files (or drop them here):"), FFiles);
    Form->addRow(QString(), FileButtons);
    Form->addRow(QString(), Switches);
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
        FLog->appendPlainText(QStringLiteral("The window closes once the burn has ended."));
        Event->ignore();
    }
}
