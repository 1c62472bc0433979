#pragma once

#include "call_control/form.h"

#include <QFrame>
#include <QString>
#include <cstdint>

namespace kv {

// A label whose caption goes through access-key processing, as the window's labels do (all but the
// reply box): "&&" shows one "&", a single "&" is hidden and underlines the next character. It
// never takes the focus. Its colours are colour values (see colour_value.h): button face behind
// button text unless told otherwise. The text sits at the top, as the window's labels always did.
class CaptionLabel : public QFrame, public Caption {
    Q_OBJECT
  public:
    explicit CaptionLabel(const QString& caption, QWidget* parent = nullptr);

    QString caption() const { return caption_; }
    void setCaption(const QString& caption) override;
    std::uint32_t backColor() const { return backColor_; }
    void setBackColor(std::uint32_t colourValue);
    void setAlignment(Qt::Alignment alignment); // the horizontal part counts

    // The modem's words are shown as they are: no access keys, "&" is "&".
    void showLiterally();

    // The caption as a reader sees it: access-key markers removed, "&&" made one "&".
    QString shownText() const;

    // A screen reader hears this before the shown text ("Status: " for the status line), and
    // hears it again whenever the caption changes.
    void setSpokenPrefix(const QString& prefix);

  signals:
    void captionChanged(const QString& caption); // call-control tests record the status line

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void updateAccessibleName();

    QString caption_;
    std::uint32_t backColor_;
    Qt::Alignment alignment_ = Qt::AlignLeft;
    QString spokenPrefix_;
    bool literal_ = false;
};

} // namespace kv
