#include "window/qt/qt_window.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include <algorithm>

namespace blinkolux {

QtWindow::QtWindow(Form1& form) : form_(form) {
  setWindowTitle(toQString(kWindowCaption));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(pixels(kClientWidth), pixels(kClientHeight));
  // The captions' fixed boxes were laid out for a small font; this one fits them all.
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStretch(QFont::Condensed);
  font.setPointSize(8);
  setFont(font);
  for (const ControlDescription& description : kControls)
    addControl(description);

  wake_.setSingleShot(true);
  wake_.setTimerType(Qt::PreciseTimer);
  connect(&wake_, &QTimer::timeout, this, [this] {
    form_.timers.runNextDue();
    rearm();
  });
  rearm();
}

void QtWindow::addControl(const ControlDescription& c) {
  const QString caption = toQString(c.caption);
  QWidget* widget = nullptr;
  switch (c.kind) {
    case ControlKind::Slider: {
      auto* slider = new QSlider(Qt::Horizontal, this);
      slider->setRange(kSliderMin, kSliderMax);
      slider->setSingleStep(kSliderSmallChange);
      slider->setPageStep(kSliderLargeChange);
      slider->setValue(c.value);
      connect(slider, &QSlider::valueChanged, this, [this, id = c.id](int value) {
        form_.setValue(id, value);
        rearm();
      });
      widget = slider;
      break;
    }
    case ControlKind::Label:
      widget = new QLabel(caption, this);
      break;
    case ControlKind::CheckBox: {
      auto* box = new QCheckBox(caption, this);
      box->setChecked(c.value == 1);
      connect(box, &QCheckBox::clicked, this, [this, id = c.id](bool checked) {
        form_.setValue(id, checked ? 1 : 0);
        form_.click(id);
        rearm();
      });
      widget = box;
      break;
    }
    case ControlKind::PushButton: {
      auto* button = new QPushButton(caption, this);
      connect(button, &QPushButton::clicked, this, [this, id = c.id] {
        form_.click(id);
        rearm();
      });
      widget = button;
      break;
    }
  }
  widget->setObjectName(QString::number(static_cast<int>(c.id)));
  widget->setGeometry(pixels(c.left), pixels(c.top), pixels(c.width), pixels(c.height));
}

void QtWindow::closeEvent(QCloseEvent* event) {
  if (!unloaded_) form_.Form_Unload();
  unloaded_ = true;
  wake_.stop();
  QWidget::closeEvent(event);
}

void QtWindow::rearm() {
  if (unloaded_) return;
  const auto deadline = form_.timers.nextDeadline();
  if (!deadline) {
    wake_.stop();
    return;
  }
  const Millis wait = std::max<Millis>(0, *deadline - form_.timers.now());
  wake_.start(static_cast<int>(std::min<Millis>(wait, 1 << 30)));
}

}  // namespace blinkolux
