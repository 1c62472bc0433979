#pragma once

#include <QPushButton>

namespace kv {

// A graphical push button: its picture centred above its caption. It is
// never a default button, so Enter neither clicks it nor a button behind a focused text box.
class PictureButton : public QPushButton {
    Q_OBJECT
  public:
    PictureButton(const QString& caption, const QString& picture, QSize pictureSize,
                  QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace kv
