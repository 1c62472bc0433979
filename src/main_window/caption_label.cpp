#include "main_window/caption_label.h"

#include "main_window/colour_value.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>

namespace kv {

namespace {

constexpr std::uint32_t ButtonFace = 0x8000000F;
constexpr std::uint32_t ButtonText = 0x80000012;

// Without this a screen reader takes the label for an empty pane.
QAccessibleInterface* staticTextFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("kv::CaptionLabel") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::StaticText);
    return nullptr;
}

} // namespace

CaptionLabel::CaptionLabel(const QString& caption, QWidget* parent)
    : QFrame(parent), caption_(caption), backColor_(ButtonFace) {
    static const bool factoryInstalled = (QAccessible::installFactory(staticTextFactory), true);
    Q_UNUSED(factoryInstalled);
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, toQColor(ButtonText));
    setPalette(p);
    setBackColor(ButtonFace);
    updateAccessibleName();
}

void CaptionLabel::setCaption(const QString& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    updateAccessibleName();
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
    alignment_ = alignment & Qt::AlignHorizontal_Mask;
    update();
}

void CaptionLabel::showLiterally() {
    literal_ = true;
    updateAccessibleName();
    update();
}

QString CaptionLabel::shownText() const {
    if (literal_) return caption_;
    QString shown;
    for (qsizetype i = 0; i < caption_.size(); ++i) {
        if (caption_[i] == u'&' && i + 1 < caption_.size())
            ++i;
        else if (caption_[i] == u'&')
            continue;
        shown += caption_[i];
    }
    return shown;
}

void CaptionLabel::setSpokenPrefix(const QString& prefix) {
    spokenPrefix_ = prefix;
    updateAccessibleName();
}

// Setting the name also tells a listening screen reader that it changed.
void CaptionLabel::updateAccessibleName() {
    setAccessibleName(spokenPrefix_ + shownText());
}

void CaptionLabel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    // Drawn directly rather than through the style: styles that hide access-key underlines
    // until Alt is held would hide them here, and these underlines are part of the text.
    const int accessKeys = literal_ ? 0 : Qt::TextShowMnemonic;
    painter.drawText(contentsRect().adjusted(1, 1, -1, -1),
                     int(alignment_ | Qt::AlignTop) | accessKeys | Qt::TextWordWrap, caption_);
}

} // namespace kv
