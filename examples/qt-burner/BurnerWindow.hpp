// The burning window: one TQueltBurner whose properties the widgets edit, a size bar that measures
// the selection against the disc, and a burn that runs as a job while the window shows its
// progress and the tool's lines.
#pragma once

#include <QueltBurner.hpp>

#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

class BurnerWindow : public QWidget {
    Q_OBJECT

public:
    // SettingsFile holds the component's settings as form text: read now, written when the
    // window closes.
    explicit BurnerWindow(QString SettingsFile, QWidget* Parent = nullptr);
    ~BurnerWindow() override;
    BurnerWindow(const BurnerWindow&) = delete;
    BurnerWindow& operator=(const BurnerWindow&) = delete;
    BurnerWindow(BurnerWindow&&) = delete;
    BurnerWindow& operator=(BurnerWindow&&) = delete;

    // Adds files and folders to the selection, as the buttons and a drop do.
    void AddEntries(const QStringList& Paths);
    bool Burning() const noexcept { return FJob != nullptr; }
    // The result code of the last burn (ResultSuccess before the first).
    int LastResult() const noexcept { return FLastResult; }

protected:
    void closeEvent(QCloseEvent* Event) override;
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;

private:
    // The disc kinds in the order of the list: TDiskType's, then an image file (the first entry).
    static constexpr int ImageKind = 5;
    // Scales the size bar: what the selection needs, in thousandths of what the disc has free.
    static constexpr int SizeBarScale = 1000;

    void BuildLayout();
    void ConnectWidgets();
    // Component to widgets, after loading the settings.
    void ShowSettings();
    void LoadSettings();
    void SaveSettings();

    void RefreshDrives();
    // The letter the drive list names, or 0 when it names none.
    char16_t DriveLetter() const;
    void DescribeDrive();
    void MeasureSoon();
    void MeasureSelection();
    void ShowMeasure(const Queltburner::TJobResult& Answer);
    void UpdateBurnButton();

    void AddFiles();
    void AddFolder();
    void RemoveSelected();

    void StartBurn();
    void CancelBurn();
    void ShowProgress(const Queltburner::TJobProgress& Progress);
    void FinishBurn(const Queltburner::TJobResult& Result);
    void SetBurning(bool Running);

    QString FSettingsFile;
    std::unique_ptr<Queltburner::TQueltBurner> FBurner;
    std::shared_ptr<Queltburner::TBurnJob> FJob; // the burn, while it runs
    // The latest question of a kind, and how many were asked: only the latest answer is shown.
    struct Question {
        std::shared_ptr<Queltburner::TBurnJob> Job;
        unsigned Turn = 0;
        // The turn of the next question; the one before is no longer wanted.
        unsigned Next() {
            if (Job) {
                Job->Cancel();
            }
            return ++Turn;
        }
    };
    Question FDescribe;
    Question FMeasure;
    int FLastResult = Queltburner::ResultSuccess;
    bool FFits = true;
    bool FCloseWhenDone = false;

    QComboBox* FDrives = nullptr;
    QLabel* FDiscLine = nullptr;
    QComboBox* FKind = nullptr;
    QLineEdit* FLabel = nullptr;
    QListWidget* FFiles = nullptr;
    QPushButton* FAddFiles = nullptr;
    QPushButton* FAddFolder = nullptr;
    QPushButton* FRemove = nullptr;
    QCheckBox* FVerify = nullptr;
    QCheckBox* FDVD = nullptr;
    QCheckBox* FContinue = nullptr;
    QCheckBox* FForceErase = nullptr;
    QProgressBar* FSizeBar = nullptr;
    QProgressBar* FProgress = nullptr;
    QPushButton* FBurn = nullptr;
    QPushButton* FCancel = nullptr;
    QLabel* FResult = nullptr;
    QPlainTextEdit* FLog = nullptr;
    QTimer* FMeasureTimer = nullptr;
};
