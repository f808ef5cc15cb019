#include "app/TFMain.h"

#include "shell/ExtraTexts.h"
#include "shell/LangTexts.h"
#include "app/ResourceStaging.h"
#include "shell/ShellState.h"
#include "app/TFilesPage.h"
#include "app/TInstallChecks.h"
#include "app/TRecordControls.h"
#include "app/TModPreview.h"
#include "app/TProgressPage.h"
#include "app/TSpaceLabels.h"
#include "archive/TInstallRecorder.h"
#include "archive/TRecordStore.h"
#include "archive/ThUnPackFiles.h"
#include "catalogue/TCatalogueBuilder.h"
#include "catalogue/TCheckTreeView.h"
#include "catalogue/TRadioState.h"
#include "catalogue/TTreeNode.h"
#include "catalogue/TTreeNodes.h"
#include "game/FileVersion.h"
#include "game/GameDetection.h"
#include "platform/Dialogs.h"
#include "platform/FormLayout.h"
#include "platform/ExecutablePath.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/SystemInfo.h"
#include "platform/TQtTranslations.h"
#include "platform/TThread.h"
#include "update/SelfUpdateHooks.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <exception>
#include <thread>

TFMain* FMain = nullptr;

namespace {
constexpr int ClientWidth = 657;
constexpr int ClientHeight = 467;

QString Text(TLangText row)
{
    return QString::fromUtf8(LangText(row));
}

Qt::WindowFlags BorderIcons(bool systemMenu)
{
    Qt::WindowFlags f = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (systemMenu)
        f |= Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
    return f;
}

// The staged library stays while a worker may still load it; it goes once none is left,
// whether the event loop still runs or the application is quitting (the quit waits for
// the worker first).
void DeleteWhenWorkersEnd(const std::string& path)
{
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, path] {
        if (ThUnPackFiles::LiveCount() > 0)
            return;
        poll->deleteLater();
        if (FileExists(path))
            DeleteFile(path);
    });
    poll->start(50);
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, qApp, [path] {
        // A worker that has finished its body frees itself a moment later.
        for (int i = 0; i < 100 && ThUnPackFiles::LiveCount() > 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (ThUnPackFiles::LiveCount() == 0 && FileExists(path))
            DeleteFile(path);
    });
}
}

TFMain::TFMain(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FMain"));
    setWindowTitle(QStringLiteral("Setup"));
    FScale = FormScale();
    setFont(FormFont(FScale));
    setWindowFlags(BorderIcons(true));
    CreateControls();
    setFixedSize(Scaled(ClientWidth), Scaled(ClientHeight));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        move(avail.center() - QPoint(width() / 2, height() / 2));
    }
    if (!FMain) {
        FMain = this;
        SetUpdateWindow(this);
    }
}

TFMain::~TFMain()
{
    if (FMain == this) {
        FMain = nullptr;
        SetUpdateWindow(nullptr);
    }
}

int TFMain::Scaled(int v) const
{
    return static_cast<int>(v * FScale + 0.5);
}

QRect TFMain::Geometry(int left, int top, int width, int height) const
{
    return QRect(Scaled(left), Scaled(top), Scaled(width), Scaled(height));
}

void TFMain::PlaceLabel(QLabel* label, int left, int top)
{
    label->move(Scaled(left), Scaled(top));
    label->adjustSize();
}

void TFMain::CreateControls()
{
    auto named = [](QWidget* w, const char* name) {
        w->setObjectName(QString::fromLatin1(name));
        return w;
    };

    PanelTop = new QFrame(this);
    named(PanelTop, "PanelTop");
    PanelTop->setGeometry(Geometry(0, 0, 657, 425));
    PCFrames = new QStackedWidget(PanelTop);
    named(PCFrames, "PCFrames");
    PCFrames->setGeometry(0, 0, PanelTop->width(), PanelTop->height());

    // Page 0: language.
    TSLang = named(new QWidget, "TSLang");
    LChLang = new QLabel(QString::fromUtf8("Выберите язык:"), TSLang);
    named(LChLang, "LChLang");
    PlaceLabel(LChLang, 198, 171);
    CBChLang = new QComboBox(TSLang);
    named(CBChLang, "CBChLang");
    CBChLang->addItem(QString::fromUtf8("Русский"));
    CBChLang->addItem(QStringLiteral("English"));
    CBChLang->setCurrentIndex(0);
    CBChLang->setGeometry(Scaled(224), Scaled(194), Scaled(200), CBChLang->sizeHint().height());
    BUpdate = new QPushButton(QString::fromUtf8("Обновить Setup..."), TSLang);
    named(BUpdate, "BUpdate");
    BUpdate->setGeometry(Geometry(5, 384, 140, 25));
    BUpdate->hide();
    PCFrames->addWidget(TSLang);

    // Page 1: files.
    TSFiles = named(new QWidget, "TSFiles");
    LChFiles = new QLabel(QString::fromUtf8("Выберите файлы для установки:"), TSFiles);
    named(LChFiles, "LChFiles");
    PlaceLabel(LChFiles, 8, 8);
    TVFiles = new TCheckTreeView(TSFiles);
    named(TVFiles, "TVFiles");
    TVFiles->setGeometry(Geometry(8, 32, 628, 350));
    TVFiles->setIndentation(Scaled(22));
    TVFiles->CascadeChecks = false;
    CBEmptyFilesHide = new QCheckBox(QString::fromUtf8("Скрывать недоступные файлы"), TSFiles);
    named(CBEmptyFilesHide, "CBEmptyFilesHide");
    CBEmptyFilesHide->setGeometry(Geometry(8, 391, 233, 17));
    CBEmptyFilesHide->setChecked(true);
    PFilesAnalyz = new QLabel(QString::fromUtf8("Анализ файлов..."), TSFiles);
    named(PFilesAnalyz, "PFilesAnalyz");
    PFilesAnalyz->setGeometry(Geometry(224, 189, 200, 35));
    PFilesAnalyz->setAlignment(Qt::AlignCenter);
    PFilesAnalyz->setAutoFillBackground(true);
    PFilesAnalyz->hide();
    PCFrames->addWidget(TSFiles);

    // Page 2: target folder.
    TSPath = named(new QWidget, "TSPath");
    LChDir = new QLabel(QString::fromUtf8("Установить в:"), TSPath);
    named(LChDir, "LChDir");
    PlaceLabel(LChDir, 58, 160);
    EDir = new QLineEdit(TSPath);
    named(EDir, "EDir");
    EDir->setGeometry(Geometry(59, 182, 529, 24));
    BChDir = new QPushButton(QString::fromUtf8("Выбрать..."), TSPath);
    named(BChDir, "BChDir");
    BChDir->setGeometry(Geometry(487, 213, 100, 20));
    CBRWFiles = new QCheckBox(QString::fromUtf8("Перезаписывать файлы при совпадении имен"), TSPath);
    named(CBRWFiles, "CBRWFiles");
    CBRWFiles->setGeometry(Geometry(61, 256, 340, 17));
    CBRWFiles->setChecked(true);
    CBRWFiles->hide();
    PCFrames->addWidget(TSPath);

    // Page 3: progress.
    TSProgress = named(new QWidget, "TSProgress");
    LMainProgress = new QLabel(QString::fromUtf8("Установка:"), TSProgress);
    named(LMainProgress, "LMainProgress");
    PlaceLabel(LMainProgress, 24, 136);
    PBMain = new QProgressBar(TSProgress);
    named(PBMain, "PBMain");
    PBMain->setGeometry(Geometry(23, 159, 600, 25));
    PBMain->setRange(0, 100);
    PBMain->setValue(0);
    PBMain->setTextVisible(false);
    LFileProgress = new QLabel(QString::fromUtf8("Распаковка:"), TSProgress);
    named(LFileProgress, "LFileProgress");
    PlaceLabel(LFileProgress, 24, 213);
    PBFile = new QProgressBar(TSProgress);
    named(PBFile, "PBFile");
    PBFile->setGeometry(Geometry(22, 236, 600, 25));
    PBFile->setRange(0, 100);
    PBFile->setValue(0);
    PBFile->setTextVisible(false);
    PCFrames->addWidget(TSProgress);

    // Page 4: done.
    TSCancel = named(new QWidget, "TSCancel");
    LUPCancel = new QLabel(QString::fromUtf8("Установка успешно завершена!"), TSCancel);
    named(LUPCancel, "LUPCancel");
    LUPCancel->setGeometry(Geometry(123, 198, 401, 16));
    LUPCancel->setAlignment(Qt::AlignCenter);
    PCFrames->addWidget(TSCancel);
    PCFrames->setCurrentIndex(PageLang);

    // Bottom row.
    PanelBottom = new QFrame(this);
    named(PanelBottom, "PanelBottom");
    PanelBottom->setGeometry(Geometry(0, 425, 657, 42));
    LCopy = new QLabel(PanelBottom);
    named(LCopy, "LCopy");
    PlaceLabel(LCopy, 8, 15);
    BBack = new QPushButton(QString::fromUtf8("< Назад"), PanelBottom);
    named(BBack, "BBack");
    BBack->setGeometry(Geometry(341, 7, 100, 25));
    BNext = new QPushButton(QString::fromUtf8("Вперед >"), PanelBottom);
    named(BNext, "BNext");
    BNext->setGeometry(Geometry(444, 7, 100, 25));
    BCancel = new QPushButton(QString::fromUtf8("Выход"), PanelBottom);
    named(BCancel, "BCancel");
    BCancel->setGeometry(Geometry(547, 7, 100, 25));

    // Tab order: the bottom row, then each page in the order of its controls.
    setTabOrder(BNext, BBack);
    setTabOrder(BBack, BCancel);
    setTabOrder(CBChLang, BUpdate);
    setTabOrder(TVFiles, CBEmptyFilesHide);
    setTabOrder(EDir, BChDir);
    setTabOrder(BChDir, CBRWFiles);
    for (QPushButton* b : {BUpdate, BBack, BNext, BCancel, BChDir})
        b->setAutoDefault(false);

    FControls = {this, PCFrames, PageDone, TSFiles, TSPath, LChFiles, TVFiles, CBEmptyFilesHide, PFilesAnalyz,
                 EDir, PBMain, PBFile, BCancel};
    RecordControls = new TRecordControls(*this);
    BUninstall = RecordControls->BUninstall;
    BRestoreSel = RecordControls->BRestoreSel;
    LConflicts = RecordControls->LConflicts;
    setTabOrder(BChDir, BUninstall);
    setTabOrder(CBEmptyFilesHide, RecordControls->BSaveSel);
    setTabOrder(RecordControls->BSaveSel, RecordControls->BLoadSel);
    setTabOrder(RecordControls->BLoadSel, BRestoreSel);

    Space = new TSpaceLabels(*this, *RecordControls);
    LSpaceNeeded = Space->LSpaceNeeded;
    LFreeSpace = Space->LFreeSpace;
    Preview = new TModPreview(TSFiles, TVFiles, FScale);
    auto onStateChange = TVFiles->OnStateChange;
    TVFiles->OnStateChange = [this, onStateChange](QObject* sender, TTreeNode* node, TCheckState state) {
        if (onStateChange)
            onStateChange(sender, node, state);
        Space->ScheduleNeeded();
    };

    connect(BNext, &QPushButton::clicked, this, [this] { BNextClick(); });
    connect(BBack, &QPushButton::clicked, this, [this] { BBackClick(); });
    connect(BCancel, &QPushButton::clicked, this, [this] { BCancelClick(); });
    connect(BChDir, &QPushButton::clicked, this, [this] { BChDirClick(); });
    connect(BUpdate, &QPushButton::clicked, this, [this] { BUpdateClick(); });
    connect(CBEmptyFilesHide, &QCheckBox::clicked, this, [this] { CBEmptyFilesHideClick(); });
    connect(CBChLang, &QComboBox::activated, this, [this] { CBChLangChange(); });
}

void TFMain::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!FShown) {
        FShown = true;
        FormShow();
    }
}

void TFMain::closeEvent(QCloseEvent* event)
{
    // The window manager offers a close box (and Alt+F4) whatever hints the window gives:
    // its close request during an installation asks first, as Exit does.
    if (event->spontaneous() && InstallationRunning() && (FAsking || !ConfirmCancelInstall())) {
        event->ignore();
        return;
    }
    FormClose();
    QWidget::closeEvent(event);
}

void TFMain::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    if (!FPainted) {
        FPainted = true;
        // Once this paint is on the screen, a build that started this one may let go.
        QTimer::singleShot(0, this, [] { ConfirmUpdateStarted(); });
    }
}

void TFMain::FormShow()
{
    if (PCFrames->currentIndex() != PageLang)
        return;
    LangIndex = IsRussianSystem() ? 0 : 1;
    CBChLang->setCurrentIndex(LangIndex);
    TQtTranslations::Apply(LangIndex == 0);
    ApplyLanguage(LangIndex);
    BUpdate->hide();
    BBack->hide();
    TVFiles->CascadeChecks = false;
    WorkFolder = GetTempDir() + NewGuidString();

    const std::string exeName = ExtractFileName(ExecutablePath());
    try {
        CleanUpAfterUpdate(exeName);
    } catch (...) {
    }
    try {
        // The loop ends without closing the window: FormClose does not run, and the files
        // staged below stay behind.
        if (CompletePendingUpdate(exeName))
            QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    } catch (...) {
    }
    StartUpdateCheck(exeName);

    StageResource("EXEFILE", "SCONF", ConfPath, ConfStaged);
    StageResource("EXEFILE", "S7ZDLL", LibPath, LibStaged);
}

void TFMain::FormClose()
{
    // Only copies this run made are deleted, never a file the path was later pointed at.
    const std::string mine = WorkFolder + PathDelim;
    auto isStagedCopy = [&mine](const std::string& path) { return path.rfind(mine, 0) == 0; };
    if (ConfStaged && isStagedCopy(ConfPath) && FileExists(ConfPath))
        DeleteFile(ConfPath);
    if (LibStaged && isStagedCopy(LibPath) && FileExists(LibPath)) {
        if (ThUnPackFiles::LiveCount() == 0)
            DeleteFile(LibPath);
        else
            DeleteWhenWorkersEnd(LibPath);
    }
}

void TFMain::ApplyLanguage(uint16_t index)
{
    const int col = index == 0 ? 0 : 1;
    auto t = [col](TLangText row) { return QString::fromUtf8(LangTexts[row][col]); };
    LCopy->setText(t(ltVersion) + QLatin1Char(' ') + QString::fromStdString(GetFileVersionStr(ExecutablePath())) +
                   QStringLiteral("  ") + t(ltMakersMark));
    BUpdate->setText(t(ltUpgradeSetup));
    BBack->setText(t(ltBack));
    BNext->setText(t(ltNext));
    BCancel->setText(t(ltExit));
    LChLang->setText(t(ltSelectLanguage));
    LChFiles->setText(t(ltSelectFiles));
    CBEmptyFilesHide->setText(t(ltHideInaccessible));
    PFilesAnalyz->setText(t(ltFilesAnalysis));
    LChDir->setText(t(ltInstallIn));
    BChDir->setText(t(ltChooseFolder));
    CBRWFiles->setText(t(ltOverwrite));
    LMainProgress->setText(t(ltInstallation));
    LFileProgress->setText(t(ltUnpacking));
    LUPCancel->setText(t(ltInstallSuccessful));
    RelayoutLabels();
    RecordControls->ApplyLanguage();
    Space->ApplyLanguage();
}

void TFMain::RelayoutLabels()
{
    for (QLabel* l : {LChLang, LChFiles, LChDir, LMainProgress, LFileProgress, LCopy})
        l->adjustSize();
}

void TFMain::CBChLangChange()
{
    LangIndex = static_cast<uint16_t>(CBChLang->currentIndex() == 0 ? 0 : 1);
    TQtTranslations::Apply(LangIndex == 0);
    ApplyLanguage(LangIndex);
}

void TFMain::ShowPage(int index)
{
    Preview->ShowFor(nullptr);
    PCFrames->setCurrentIndex(index);
}

void TFMain::BNextClick()
{
    GoNextPage();
}

void TFMain::BBackClick()
{
    GoPrevPage();
}

void TFMain::GoNextPage()
{
    switch (PCFrames->currentIndex()) {
    case PageLang:
        ShowPage(PageFiles);
        BBack->show();
        BuildFileTree();
        break;
    case PageFiles: {
        bool anyChecked = false;
        for (TTreeNode* n = TVFiles->Items()->GetFirstNode(); n; n = n->GetNext()) {
            if (n->StateIndex() == csChecked) {
                anyChecked = true;
                break;
            }
        }
        if (!anyChecked) {
            ShowMessageBox(Text(ltNothingSelected));
            return;
        }
        RWOTInfo info;
        DetectGame(info);
        GameExe = info.ExePath;
        EDir->setText(QString::fromStdString(info.TargetDir));
        ShowPage(PagePath);
        break;
    }
    case PagePath: {
        const std::string dir = EDir->text().toStdString();
        if (dir.empty() || !ForceDirectories(dir)) {
            ShowMessageBox(Text(ltFolderUnavailable));
            return;
        }
        // Refused before the lock is taken, so nothing is held when the user goes back.
        const tFilesArray files = CheckedItemList();
        if (!TInstallChecks::SpaceSuffices(RecordControls->Listings, files, dir) ||
            !TInstallChecks::GameClosed(GameExe, dir))
            return;
        // Another copy installing into or uninstalling from this folder: leave it be.
        TFolderLock lock;
        if (!lock.TryAcquire(dir)) {
            ShowMessageBox(ExtraText(etFolderBusy).arg(QString::fromStdString(dir)));
            return;
        }
        BBack->hide();
        BNext->hide();
        SetSystemMenu(false);
        ShowPage(PageProgress);
        InstallFinished = false;
        LastItemList = files;
        StartInstaller(files, dir, std::move(lock));
        break;
    }
    default:
        break;
    }
}

tFilesArray TFMain::CheckedItemList() const
{
    tFilesArray files;
    const std::string programFolder = ProgramFolder();
    for (TTreeNode* n = TVFiles->Items()->GetFirstNode(); n; n = n->GetNext()) {
        if (n->Level() > 0 && n->StateIndex() == csChecked)
            files.push_back(programFolder + n->Parent()->Text().toStdString() + PathDelim + n->Text().toStdString());
    }
    return files;
}

void TFMain::GoPrevPage()
{
    switch (PCFrames->currentIndex()) {
    case PageFiles:
        TVFiles->Items()->Clear();
        Preview->Clear();
        RecordControls->CatalogueBuilt();
        Space->UpdateNeeded();
        BBack->hide();
        ShowPage(PageLang);
        break;
    case PagePath:
        EDir->clear();
        ShowPage(PageFiles);
        break;
    default:
        break;
    }
}

bool TFMain::SelectFolder(const QString& title, QString& folder)
{
    folder.clear();
    const bool ok = ShowFolderDialog(title, folder);
    if (!ok)
        folder.clear();
    return ok;
}

void TFMain::BChDirClick()
{
    QString folder;
    if (SelectFolder(Text(ltFolderDialogTitle), folder)) {
        if (!folder.endsWith(QLatin1Char(PathDelim)))
            folder += QLatin1Char(PathDelim);
        EDir->setText(folder);
    }
    raise();
    activateWindow();
}

void TFMain::CBEmptyFilesHideClick()
{
    BuildFileTree();
}

void TFMain::BuildFileTree()
{
    Preview->Clear();
    TFilesPage page(*this);
    TCatalogueBuilder builder(*TVFiles->Items(), TVFiles->RadioStates, page);
    builder.SetListings(&RecordControls->Listings);
    try {
        builder.Build();
    } catch (const std::exception& e) {
        // Errors of the catalogue and of the archive library reach the user with their own text.
        ShowErrorBox(QString::fromUtf8(e.what()));
    }
    RecordControls->CatalogueBuilt();
    Space->UpdateNeeded();
}

void TFMain::BUpdateClick()
{
    RunUpdateDownload(*this);
}

void TFMain::ShowUpdateButton()
{
    BUpdate->show();
}

void TFMain::CloseAfterUpdate()
{
    close();
}

void TFMain::SetUpdateBusy(bool busy)
{
    PanelTop->setEnabled(!busy);
    BBack->setEnabled(!busy);
    BNext->setEnabled(!busy);
}

bool TFMain::UpdateWindowClosed() const
{
    return !isVisible();
}

void TFMain::SetSystemMenu(bool on)
{
    if (HasSystemMenu() == on)
        return;
    const Qt::WindowFlags flags = BorderIcons(on);
    // QWidget::setWindowFlags re-creates a shown window: it is unmapped and mapped again,
    // and a window manager may lose it or place it anew. The platform window takes the
    // new hints in place instead.
    QWindow* handle = windowHandle();
    if (handle && isVisible()) {
        overrideWindowFlags(flags);
        handle->setFlags(flags);
    } else {
        setWindowFlags(flags);
    }
}

bool TFMain::HasSystemMenu() const
{
    return windowFlags().testFlag(Qt::WindowCloseButtonHint);
}

void TFMain::BCancelClick()
{
    if (InstallationRunning()) {
        if (!FAsking && ConfirmCancelInstall())
            close();
        return;
    }
    close();
}

bool TFMain::InstallationRunning() const
{
    return !InstallFinished && Installer && ThUnPackFiles::LiveCount() > 0;
}

bool TFMain::ConfirmCancelInstall()
{
    // A worker that has already ended may have freed itself: suspend only one still in being.
    if (!TThread::SuspendIfAlive(Installer))
        return true;
    FAsking = true;
    const bool yes = ShowMessageBox(Text(ltCancelInstall), TMsgButtons::YesNo) == TMsgResult::Yes;
    FAsking = false;
    if (yes)
        InstallFinished = true;
    Installer->Resume();
    return yes;
}

void TFMain::StartInstaller(const tFilesArray& files, const std::string& targetFolder, TFolderLock targetLock)
{
    auto* worker = new ThUnPackFiles(true, targetFolder, files, std::make_shared<TProgressPage>(*this));
    worker->SetTargetLock(std::move(targetLock));
    worker->SetRecorder(std::make_unique<TInstallRecorder>(TRecordStore(), targetFolder, ProgramFolder(), files));
    Installer = worker;
    worker->SetFreeOnTerminate(true);
    worker->Resume();
}
