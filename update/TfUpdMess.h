#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The update notice: the server's text and the question whether to upgrade now.
class TfUpdMess : public QDialog {
    Q_OBJECT

public:
    // Modal results, as the dialog's callers compare them.
    enum { mrNone = 0, mrCancel = 2, mrYes = 6, mrNo = 7 };

    explicit TfUpdMess(QWidget* parent = nullptr);

    QFrame* pTop = nullptr;
    QLabel* lMessage = nullptr;
    QPlainTextEdit* mInfo = nullptr;
    QFrame* pBottom = nullptr;
    QPushButton* bYes = nullptr;
    QPushButton* bNo = nullptr;

    void bYesClick();
    void bNoClick();
    void FormKeyDown(int key, Qt::KeyboardModifiers shift);
    // A non-zero result ends the showing with it.
    void SetModalResult(int result);
    int Scaled(int v) const;

protected:
    // The close box (and anything else that rejects) answers Cancel.
    void reject() override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Key preview: the form sees every key before the control that has the focus.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QRect Geometry(int left, int top, int width, int height) const;

    double FScale = 1.0;
};

// The running notice dialog, made at program start.
extern TfUpdMess* fUpdMess;
