// The check at start against a real nginx, and the notice dialog itself.
#include "TestKeys.h"
#include "UpdateFixture.h"

#include "shell/LangTexts.h"
#include "app/TFMain.h"
#include "platform/Dialogs.h"
#include "update/TUpdateServer.h"
#include "update/TfUpdMess.h"
#include "update/UpdateState.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
class UpdateCheck : public UpdateFixture {};

// A port with a listener that takes connections into its backlog and never answers.
class TSilentListener {
public:
    TSilentListener()
    {
        FHandle = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t n = sizeof a;
        bind(FHandle, reinterpret_cast<sockaddr*>(&a), n);
        listen(FHandle, 4);
        getsockname(FHandle, reinterpret_cast<sockaddr*>(&a), &n);
        FPort = ntohs(a.sin_port);
    }
    ~TSilentListener() { Close(); }
    void Close()
    {
        if (FHandle >= 0)
            close(FHandle);
        FHandle = -1;
    }
    int Port() const { return FPort; }

private:
    int FHandle = -1;
    int FPort = 0;
};

void SaveShot(QWidget* w, const QString& name)
{
    QDir().mkpath(QStringLiteral(SETUP_SCREENSHOT_DIR));
    EXPECT_TRUE(w->grab().save(QStringLiteral(SETUP_SCREENSHOT_DIR "/") + name));
}
}

TEST_F(UpdateCheck, NewerBuildFillsTheNoticeAndShowsTheButton)
{
    InstallBuild("SetupBuild40");
    const std::string info = "Что нового в 1.1.4.41:\n- прицелы обновлены\n- исправлены ошибки\n";
    Publish(Bin("SetupBuild41"), info, "");
    OpenWindow();
    WaitCheck();
    EXPECT_TRUE(Main->BUpdate->isVisible());
    EXPECT_EQ(ServerBuild.load(), 41);
    EXPECT_EQ(ServerVersionText.Get(), "1.1.4.41");
    EXPECT_EQ(fUpdMess->mInfo->toPlainText().toStdString(), info);
    EXPECT_FALSE(fUpdMess->isVisible());
    EXPECT_TRUE(Messages.isEmpty());

    // Page 0 with the button and the notice as the button shows it, in both languages.
    for (int lang : {0, 1}) {
        Main->CBChLang->setCurrentIndex(lang);
        Main->CBChLangChange();
        const QString suffix = lang == 0 ? QStringLiteral("ru") : QStringLiteral("en");
        SaveShot(Main, QStringLiteral("update_page0_") + suffix + QStringLiteral(".png"));
        QString question;
        SetModalHandler([&](QDialog* d) {
            auto* notice = static_cast<TfUpdMess*>(d);
            notice->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(notice));
            question = notice->lMessage->text();
            EXPECT_EQ(notice->bYes->text(), QString::fromUtf8(LangTexts[ltYes][lang]));
            EXPECT_EQ(notice->bNo->text(), QString::fromUtf8(LangTexts[ltNo][lang]));
            SaveShot(notice, QStringLiteral("update_notice_") + suffix + QStringLiteral(".png"));
            notice->bNo->click();
            return notice->result();
        });
        Main->BUpdate->click();
        EXPECT_EQ(question, QString::fromUtf8(LangTexts[ltNewVersionPrefix][lang]) + QStringLiteral("1.1.4.41") +
                                QString::fromUtf8(LangTexts[ltNewVersionSuffix][lang]));
    }
    // No: nothing is fetched or written.
    EXPECT_FALSE(Exists(Prog + "Setup.newupdate"));
    EXPECT_TRUE(Messages.isEmpty());
}

TEST_F(UpdateCheck, Windows1251NoticeIsConverted)
{
    InstallBuild("SetupBuild40");
    WriteFile(Pub() + "Build.upd", "41\r\n1.1.4.41\r\n");
    WriteFile(Pub() + "UpdateInfo.txt", "\xCD\xEE\xE2\xE0\xFF \xE2\xE5\xF0\xF1\xE8\xFF");
    OpenWindow();
    WaitCheck();
    EXPECT_TRUE(Main->BUpdate->isVisible());
    EXPECT_EQ(fUpdMess->mInfo->toPlainText(), QString::fromUtf8("Новая версия"));
}

TEST_F(UpdateCheck, SameOrOlderBuildShowsNothing)
{
    InstallBuild("SetupBuild40");
    WriteFile(Pub() + "UpdateInfo.txt", "notice");
    for (int build : {40, 39}) {
        WriteFile(Pub() + "Build.upd", std::to_string(build) + "\n1.1.4." + std::to_string(build) + "\n");
        OpenWindow();
        WaitCheck();
        EXPECT_FALSE(Main->BUpdate->isVisible()) << build;
        EXPECT_EQ(ServerBuild.load(), build);
        EXPECT_TRUE(fUpdMess->mInfo->toPlainText().isEmpty());
        CloseWindows();
    }
}

TEST_F(UpdateCheck, MissingNoticeOrMalformedBuildFileFailsSilently)
{
    InstallBuild("SetupBuild40");
    const char* cases[] = {"41\n1.1.4.41\n", "41", "41 \n1.1.4.41"};
    for (const char* text : cases) {
        WriteFile(Pub() + "Build.upd", text);  // no UpdateInfo.txt: 404
        OpenWindow();
        WaitCheck();
        EXPECT_FALSE(Main->BUpdate->isVisible()) << text;
        EXPECT_EQ(ServerBuild.load(), 0) << text;
        EXPECT_EQ(ServerVersionText.Get(), "") << text;
        CloseWindows();
    }
    EXPECT_TRUE(Messages.isEmpty());
}

TEST_F(UpdateCheck, UnreachableOrSilentServerNeverBlocksTheWindow)
{
    InstallBuild("SetupBuild40");
    {
        // Nothing listening on the port.
        TSilentListener closed;
        const int port = closed.Port();
        closed.Close();
        TUpdateServer::SetHostOverride("127.0.0.1:" + std::to_string(port));
        QElapsedTimer t;
        t.start();
        OpenWindow();
        EXPECT_LT(t.elapsed(), 2000);
        WaitCheck();
        EXPECT_FALSE(Main->BUpdate->isVisible());
        EXPECT_EQ(ServerBuild.load(), 0);
        CloseWindows();
    }
    // A server that accepts and never answers: the window keeps handling events.
    TSilentListener silent;
    TUpdateServer::SetHostOverride("127.0.0.1:" + std::to_string(silent.Port()));
    QElapsedTimer t;
    t.start();
    OpenWindow();
    EXPECT_LT(t.elapsed(), 2000);
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(10);
    QTest::qWait(300);
    EXPECT_GE(ticks, 10);
    EXPECT_FALSE(Main->BUpdate->isVisible());
    silent.Close();  // the check then fails at once
    WaitCheck();
    EXPECT_FALSE(Main->BUpdate->isVisible());
    EXPECT_TRUE(Messages.isEmpty());
}

TEST_F(UpdateCheck, BuiltInKeyRequiresAValidSignature)
{
    InstallBuild("SetupBuild40");
    TUpdateServer::SetPublicKeyOverride(SETUP_TEST_PUBLIC_KEY);
    // The tool names the key to build in.
    EXPECT_NE(Publish(Bin("SetupBuild41"), "signed notice", "").find(std::string("SETUP_UPDATE_PUBLIC_KEY=") +
                                                                     SETUP_TEST_PUBLIC_KEY),
              std::string::npos);
    const std::string signedUpd = ReadFile(Pub() + "Build.upd");

    OpenWindow();
    WaitCheck();
    EXPECT_TRUE(Main->BUpdate->isVisible());
    EXPECT_EQ(ServerPackageSha256.Get(), Sha256(Pub() + "Setup.7z"));
    CloseWindows();

    TestKeys other;
    const std::string body = "41\n1.1.4.41\n" + Sha256(Pub() + "Setup.7z");
    std::string altered = signedUpd;
    altered[0] = '5';  // 51: the build line changed after signing
    const std::string cases[] = {
        "41\n1.1.4.41\n",                                  // unsigned, two lines
        body + "\n" + other.SignHex(body) + "\n",          // another key
        altered,
    };
    for (const std::string& text : cases) {
        WriteFile(Pub() + "Build.upd", text);
        OpenWindow();
        WaitCheck();
        EXPECT_FALSE(Main->BUpdate->isVisible()) << text;
        EXPECT_EQ(ServerBuild.load(), 0);
        CloseWindows();
    }
}

TEST(UpdateNotice, ButtonsKeysAndCloseBoxEndTheShowing)
{
    TfUpdMess dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Setup"));
    EXPECT_EQ(dialog.lMessage->geometry(), QRect(dialog.Scaled(27), dialog.Scaled(24), dialog.Scaled(410), dialog.Scaled(32)));
    EXPECT_TRUE(dialog.mInfo->isReadOnly());
    EXPECT_FALSE(dialog.bYes->isDefault() || dialog.bNo->isDefault());

    auto showWith = [&](const std::function<void()>& act) {
        QTimer::singleShot(0, &dialog, [&] {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
            act();
        });
        return ShowModal(&dialog);
    };
    EXPECT_EQ(showWith([&] { dialog.bYes->click(); }), TfUpdMess::mrYes);
    EXPECT_EQ(showWith([&] { dialog.bNo->click(); }), TfUpdMess::mrNo);
    // Escape is No even while the memo has the focus; the close box is Cancel.
    EXPECT_EQ(showWith([&] {
                  dialog.mInfo->setFocus();
                  QTest::keyClick(dialog.mInfo, Qt::Key_Escape);
              }),
              TfUpdMess::mrNo);
    EXPECT_EQ(showWith([&] { dialog.close(); }), TfUpdMess::mrCancel);
    // Other keys, Enter included, leave it open.
    EXPECT_EQ(showWith([&] {
                  QTest::keyClick(dialog.bYes, Qt::Key_Return);
                  QTest::keyClick(&dialog, Qt::Key_A);
                  EXPECT_TRUE(dialog.isVisible());
                  dialog.bNo->click();
              }),
              TfUpdMess::mrNo);
}
