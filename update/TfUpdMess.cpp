#include "update/TfUpdMess.h"

#include "platform/FormLayout.h"

#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

TfUpdMess* fUpdMess = nullptr;

namespace {
constexpr int ClientWidth = 461;
constexpr int ClientHeight = 296;
}

TfUpdMess::TfUpdMess(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fUpdMess"));
    setWindowTitle(QStringLiteral("Setup"));
    FScale = FormScale();
    setFont(FormFont(FScale));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    pTop = new QFrame(this);
    pTop->setObjectName(QStringLiteral("pTop"));
    pTop->setGeometry(Geometry(0, 0, 461, 249));
    pTop->setFrameShape(QFrame::NoFrame);
    pTop->setAutoFillBackground(true);
    QPalette white = pTop->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::Base, Qt::white);
    pTop->setPalette(white);

    lMessage = new QLabel(QString::fromUtf8("Доступна новая версия программы \"XXX\". Обновить?"), pTop);
    lMessage->setObjectName(QStringLiteral("lMessage"));
    lMessage->setGeometry(Geometry(27, 24, 410, 32));
    // Fixed size: a long version label wraps instead of running under the memo.
    lMessage->setWordWrap(true);
    lMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    mInfo = new QPlainTextEdit(pTop);
    mInfo->setObjectName(QStringLiteral("mInfo"));
    mInfo->setGeometry(Geometry(27, 72, 410, 153));
    mInfo->setReadOnly(true);
    mInfo->setFrameShape(QFrame::NoFrame);
    mInfo->setPalette(white);
    mInfo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mInfo->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    pBottom = new QFrame(this);
    pBottom->setObjectName(QStringLiteral("pBottom"));
    pBottom->setGeometry(Geometry(0, 248, 461, 48));
    pBottom->setFrameShape(QFrame::NoFrame);

    bYes = new QPushButton(QString::fromUtf8("Да"), pBottom);
    bYes->setObjectName(QStringLiteral("bYes"));
    bYes->setGeometry(Geometry(233, 13, 105, 25));
    bNo = new QPushButton(QString::fromUtf8("Нет"), pBottom);
    bNo->setObjectName(QStringLiteral("bNo"));
    bNo->setGeometry(Geometry(345, 13, 105, 25));
    // Neither button answers Enter or Escape by itself.
    for (QPushButton* b : {bYes, bNo}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    pTop->raise();  // the top panel overlaps the bottom one by a pixel, as laid out

    setTabOrder(mInfo, bYes);
    setTabOrder(bYes, bNo);
    for (QWidget* w : {static_cast<QWidget*>(mInfo), mInfo->viewport(), static_cast<QWidget*>(bYes),
                       static_cast<QWidget*>(bNo)})
        w->installEventFilter(this);

    connect(bYes, &QPushButton::clicked, this, [this] { bYesClick(); });
    connect(bNo, &QPushButton::clicked, this, [this] { bNoClick(); });

    setFixedSize(Scaled(ClientWidth), Scaled(ClientHeight));
    hide();
}

int TfUpdMess::Scaled(int v) const
{
    return static_cast<int>(v * FScale + 0.5);
}

QRect TfUpdMess::Geometry(int left, int top, int width, int height) const
{
    return QRect(Scaled(left), Scaled(top), Scaled(width), Scaled(height));
}

void TfUpdMess::SetModalResult(int result)
{
    if (result != mrNone)
        done(result);
}

void TfUpdMess::bYesClick()
{
    SetModalResult(mrYes);
}

void TfUpdMess::bNoClick()
{
    SetModalResult(mrNo);
}

void TfUpdMess::FormKeyDown(int key, Qt::KeyboardModifiers /*shift*/)
{
    if (key == Qt::Key_Escape)
        SetModalResult(mrNo);
}

void TfUpdMess::reject()
{
    SetModalResult(mrCancel);
}

void TfUpdMess::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        FormKeyDown(event->key(), event->modifiers());
        return;
    }
    // Enter must not close the dialog either: no button is the default one.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TfUpdMess::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            FormKeyDown(key->key(), key->modifiers());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfUpdMess::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Centred on the desktop, not on the main window.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}
