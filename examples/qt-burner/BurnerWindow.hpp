// The burning window: one TQueltBurner whose properties the widgets edit, a line that says what
// is in the drive, a bar that measures the selection against it, and a burn that runs as a job
// while the window shows its progress and the tool's lines. Nothing the window asks of the
// component runs on the window's thread.
#pragma once

#include <QueltBurner.hpp>

#include <QComboBox>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <future>
#include <memory>
#include <system_error>
#include <vector>

inline QString ToQString(const System::UnicodeString& Text) {
    return QString::fromStdU16String(Text);
}

class QCheckBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

class BurnerWindow : public QWidget {
    Q_OBJECT

public:
    explicit BurnerWindow(QWidget* Parent = nullptr);
    // Cancels the jobs and waits for their end: no tool is left running behind the window.
    ~BurnerWindow() override;

    // Adds files and folders to the selection, as the buttons and a drop do.
    void AddEntries(const QStringList& Paths);
    // True from a click on Burn until the burn has ended (or the measure before it said no).
    bool Running() const noexcept { return FStep != Step::Idle; }
    // How the last burn ended: empty when the disc was written, else a Queltburner::TBurnError.
    std::error_code LastError() const noexcept { return FLastError; }

protected:
    void closeEvent(QCloseEvent* Event) override;
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;

private:
    // A burn: the measure it waits for (when something changed since the last), then its job.
    enum class Step : std::uint8_t { Idle, Measuring, Burning };
    // What the latest measure said of the selection; Pending until it has answered.
    enum class Fit : std::uint8_t { Pending, Fits, DoesNotFit, NotKnown };

    // The settings' widgets, each bound to its property of the component, in FSettings.
    void BuildSettings();

    // The drive list is made on a thread of its own, again every few seconds ("in use").
    void RefreshDrives();
    void ShowDrives(const std::vector<Queltburner::TOpticalDrive>& Drives);
    // The letter of the drive chosen, 0 when there is none.
    char16_t DriveLetter() const { return FDrives->currentData().toChar().unicode(); }

    // Something changed: the disc and the selection are asked about again, shortly.
    void LookSoon();
    // Asks what is in the drive, then what the burn would take of it, one question at a time.
    void Look();
    // Events whose answer reaches Show on the window's thread, unless a newer question came since.
    Queltburner::TJobEvents AnswerTo(void (BurnerWindow::*Show)(const Queltburner::TJobResult&));
    void ShowDisc(const Queltburner::TJobResult& Answer);
    void ShowSize(const Queltburner::TJobResult& Answer);
    void SettleFit(Fit Answer, const QString& Text, int Percent = 0);
    void UpdateWidgets();

    void Burn();
    void StartBurnJob();
    void Cancel();
    void EndBurn(std::error_code Error, const QString& Reason);

    std::unique_ptr<Queltburner::TQueltBurner> FBurner;
    Step FStep = Step::Idle;
    bool FCancelAsked = false;
    bool FCloseWhenDone = false;
    std::error_code FLastError;
    std::shared_ptr<Queltburner::TBurnJob> FJob;  // the burn, while it runs
    std::shared_ptr<Queltburner::TBurnJob> FLook; // the latest question; older ones are cancelled
    unsigned FLookTurn = 0;                       // counts the questions: only the latest is shown
    std::uint64_t FFreeBytes = 0; // the disc line's free space, which the size bar measures against
    Fit FFit = Fit::Pending;
    bool FDiscSetsDVD = false;     // a CD or a DVD in the drive: the DVD box follows it
    std::future<void> FDrivesMade; // the drive list being made

    QWidget* FSettings = nullptr; // every widget a burn must not change while it runs
    QComboBox* FDrives = nullptr;
    QLabel* FDiscLine = nullptr;
    QListWidget* FFiles = nullptr;
    QCheckBox* FDVD = nullptr;
    QProgressBar* FSizeBar = nullptr;
    QProgressBar* FProgress = nullptr;
    QPushButton* FBurn = nullptr;
    QPushButton* FCancel = nullptr;
    QPlainTextEdit* FLog = nullptr;
    QTimer* FLookTimer = nullptr;
};
