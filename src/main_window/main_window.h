#pragma once

#include <QWidget>

class QComboBox;
class QFrame;
class QLineEdit;
class QPushButton;

namespace kv {

class CaptionLabel;
class CarrierLamp;

// frmMain's controls and their layout; no logic. Controls carry their names from the form.
class MainWindow : public QWidget {
    Q_OBJECT
  public:
    explicit MainWindow(QWidget* parent = nullptr);

    CaptionLabel* Label5;
    QFrame* Line1;
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
    CarrierLamp* txtModemStatus;

  signals:
    void closeRequested(); // the close box, or Alt+F4
    void helpRequested();  // F1: the application's help file

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    // Places a control at its position on the form, given in twips.
    void place(QWidget* control, int left, int top, int width, int height);
    template <class Label> Label* statusPanel(Label* panel, int left, int width);
};

} // namespace kv
