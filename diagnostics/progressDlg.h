#pragma once
#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

// The progress dialog of long device reads and writes. It is shown without
// being modal: the owner's loop pumps events so that an Abort click is seen,
// and it polls IsAborted between device exchanges. Hiding the dialog clears
// the abort flag, so each operation starts un-aborted. UI thread only.
class TfrmProgressDlg : public QDialog
{
    Q_OBJECT
public:
    // parent: a widget of the main window, which is brought to the front
    // whenever this dialog is shown or activated.
    explicit TfrmProgressDlg(QWidget *parent = nullptr);

    bool IsAborted() const { return aborted; }

    void setMaximum(int maximum);
    void setPosition(int position);
    int maximum() const;
    int position() const;

public slots:
    void buAbortClick();

signals:
    // Abort was pressed (or asked for by the main window).
    void abortRequested();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void FormShow();
    void FormActivate();
    void FormHide();
    void bringMainWindowToFront();

    QLabel *Panel1 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QPushButton *buAbort = nullptr;
    bool aborted = false;
};
