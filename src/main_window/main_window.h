#pragma once

#include <QWidget>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace kv {

class CaptionLabel;

// frmMain's controls and their layout; no logic. Controls carry their names from the form.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

    CaptionLabel* Label5;
    QWidget* Line1;
    QComboBox* Combo1;
    CaptionLabel* Label1;
    CaptionLabel* Label2;
    CaptionLabel* Label3;
    QLineEdit* txtPhoneNum;
    QPushButton* buttonConnect;
    QPushButton* buttonHangUp;
    QPushButton* buttonQuit;
    QPushButton* buttonHelp;
    CaptionLabel* Label6;
    CaptionLabel* lblStatus;
    CaptionLabel* txtReply;
    CaptionLabel* Label7;
    CaptionLabel* txtModemStatus;

signals:
    void closeRequested(); // the close box, or Alt+F4

protected:
    void closeEvent(QCloseEvent* event) override;
};

} // namespace kv
