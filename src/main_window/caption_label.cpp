#include "main_window/caption_label.h"

#include "main_window/colour_value.h"

#include <QPainter>
#include <QStyle>

namespace kv {

namespace {
constexpr std::uint32_t ButtonFace = 0x8000000F;
}

CaptionLabel::CaptionLabel(const QString& caption, QWidget* parent)
    : QFrame(parent), caption_(caption), backColor_(ButtonFace) {
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(true);
    setBackColor(ButtonFace);
}

void CaptionLabel::setCaption(const QString& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    update();
    emit captionChanged(caption_);
}

void CaptionLabel::setBackColor(std::uint32_t colourValue) {
    backColor_ = colourValue;
    QPalette p = palette();
    p.setColor(QPalette::Window, toQColor(colourValue));
    setPalette(p);
}

void CaptionLabel::setAlignment(Qt::Alignment alignment) {
    alignment_ = alignment;
    update();
}

QString CaptionLabel::shownText() const {
    QString shown;
    for (qsizetype i = 0; i < caption_.size(); ++i) {
        if (caption_[i] == u'&' && i + 1 < caption_.size()) ++i;
        else if (caption_[i] == u'&') continue;
        shown += caption_[i];
    }
    return shown;
}

void CaptionLabel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect area = contentsRect().adjusted(1, 1, -1, -1);
    style()->drawItemText(&painter, area,
                          int(alignment_) | Qt::TextShowMnemonic | Qt::TextWordWrap, palette(),
                          isEnabled(), caption_, QPalette::WindowText);
}

} // namespace kv
