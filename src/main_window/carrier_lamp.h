#pragma once

#include "call_control/form.h"
#include "main_window/caption_label.h"

namespace kv {

// The "Carrier:" lamp: "Detected" on green, "Not Detected" on yellow, "<Unknown>" on the
// inactive-border grey; the caption is set before the colour.
class CarrierLamp : public CaptionLabel, public Lamp {
    Q_OBJECT
  public:
    explicit CarrierLamp(QWidget* parent = nullptr);
    void showCarrier(CarrierState state) override;
    QString caption() const override { return CaptionLabel::caption(); }
};

} // namespace kv
