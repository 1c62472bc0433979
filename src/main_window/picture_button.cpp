#include "main_window/picture_button.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace kv {

PictureButton::PictureButton(const QString& caption, const QString& picture, QSize pictureSize,
                             QWidget* parent)
    : QPushButton(QIcon(picture), caption, parent) {
    setIconSize(pictureSize);
    setAutoDefault(false);
    setDefault(false);
}

void PictureButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    const QIcon picture = option.icon;

    // The style draws the face and the focus frame; the picture and caption go on top in our
    // own arrangement, which the styles' side-by-side layout cannot give.
    option.text.clear();
    option.icon = QIcon();
    painter.drawControl(QStyle::CE_PushButton, option);

    QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    if (option.state & (QStyle::State_Sunken | QStyle::State_On))
        area.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                       style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));

    // The caption sits at the foot of the face, so captions line up along a row of buttons
    // whatever the size of their pictures; the picture is centred in the room above it.
    const QSize size = iconSize();
    const QRect captionRect(area.left(), area.bottom() - fontMetrics().height(), area.width(),
                            fontMetrics().height());
    const QRect pictureRect(area.left() + (area.width() - size.width()) / 2,
                            area.top() + (captionRect.top() - area.top() - size.height()) / 2,
                            size.width(), size.height());
    painter.drawPixmap(pictureRect,
                       picture.pixmap(size, isEnabled() ? QIcon::Normal : QIcon::Disabled));
    painter.drawItemText(captionRect, Qt::AlignHCenter | Qt::AlignTop, palette(), isEnabled(),
                         caption, QPalette::ButtonText);
}

} // namespace kv
