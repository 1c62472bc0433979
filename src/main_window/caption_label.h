#pragma once

#include <QFrame>
#include <QString>
#include <cstdint>

namespace kv {

// A label whose caption goes through access-key processing, as every label of the window does:
// "&&" shows one "&", a single "&" is hidden and underlines the next character. It never takes
// the focus. Its background is a colour value (see colour_value.h).
class CaptionLabel : public QFrame {
    Q_OBJECT
public:
    explicit CaptionLabel(const QString& caption, QWidget* parent = nullptr);

    QString caption() const { return caption_; }
    void setCaption(const QString& caption);
    std::uint32_t backColor() const { return backColor_; }
    void setBackColor(std::uint32_t colourValue);
    void setAlignment(Qt::Alignment alignment);

    // The caption as a reader sees it: access-key markers removed, "&&" made one "&".
    QString shownText() const;

signals:
    void captionChanged(const QString& caption);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString caption_;
    std::uint32_t backColor_;
    Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignTop;
};

} // namespace kv
