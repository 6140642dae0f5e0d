// SPDX-License-Identifier: MIT
#include "window/qt/qt_window.h"

#include <QAccessibleWidget>
#include <QCheckBox>
#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QToolTip>

#include <algorithm>

namespace blinkolux {

namespace {

// The slider as assistive technology reads it: "Speed", "100 ms per step".
class SpeedAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit SpeedAccessible(QSlider* slider) : QAccessibleWidget(slider, QAccessible::Slider) {}
  QString text(QAccessible::Text text) const override {
    if (text == QAccessible::Name) return toQString(control(ControlId::Label1).caption);
    if (text == QAccessible::Value) return toQString(speedText(slider()->value()));
    return QAccessibleWidget::text(text);
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  QVariant currentValue() const override { return slider()->value(); }
  void setCurrentValue(const QVariant& value) override { slider()->setValue(value.toInt()); }
  QVariant maximumValue() const override { return slider()->maximum(); }
  QVariant minimumValue() const override { return slider()->minimum(); }
  QVariant minimumStepSize() const override { return slider()->singleStep(); }

 private:
  QSlider* slider() const { return static_cast<QSlider*>(widget()); }
};

constexpr const char* kSpeedSlider = "blinkolux-speed";  // a property marking the slider

QAccessibleInterface* speedAccessible(const QString& /*className*/, QObject* object) {
  auto* slider = qobject_cast<QSlider*>(object);
  return slider != nullptr && slider->property(kSpeedSlider).toBool() ? new SpeedAccessible(slider)
                                                                      : nullptr;
}

}  // namespace

QtWindow::QtWindow(Form1& form, Display* lampConnection)
    : form_(form), mirror_(form, this, lampConnection) {
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
  mirror_.setGeometry(pixels(kMirror.left), pixels(kMirror.top), pixels(kMirror.width),
                      pixels(kMirror.height));
  // At once: a show's end step pauses the thread with the lamps dark, and the event loop with it.
  form_.onLampsShown = [this] { mirror_.showLamps(); };

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
      // Marked before anything makes Qt ask how to read it aloud.
      static const bool factory = (QAccessible::installFactory(speedAccessible), true);
      (void)factory;
      auto* slider = new QSlider(Qt::Horizontal);
      slider->setProperty(kSpeedSlider, true);
      slider->setParent(this);
      slider->setRange(kSliderMin, kSliderMax);
      slider->setSingleStep(kSliderSmallChange);
      slider->setPageStep(kSliderLargeChange);
      slider->setValue(c.value);
      slider->setToolTip(toQString(speedText(c.value)));
      connect(slider, &QSlider::valueChanged, this, [this, slider, id = c.id](int value) {
        form_.setValue(id, value);
        slider->setToolTip(toQString(speedText(value)));
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

LampMirror::LampMirror(const Form1& form, QWidget* parent, Display* stepConnection)
    : QWidget(parent),
      form_(form),
      onServer_(X11Backgrounds::available()),
      stepConnection_(stepConnection) {
  setAttribute(Qt::WA_OpaquePaintEvent);  // the picture has the background: nothing beneath
  // A window of its own, which Qt leaves to the server to paint.
  if (onServer_) setAttribute(Qt::WA_PaintOnScreen);
}

QPaintEngine* LampMirror::paintEngine() const {
  return onServer_ ? nullptr : QWidget::paintEngine();
}

QRectF LampMirror::lamp(std::size_t index) const {
  const Circle circle = lampCircle(index, width(), height());
  return {static_cast<qreal>(circle.left), static_cast<qreal>(circle.top),
          static_cast<qreal>(circle.side), static_cast<qreal>(circle.side)};
}

QPixmap LampMirror::draw() const {
  QPixmap picture(size() * devicePixelRatioF());
  picture.setDevicePixelRatio(devicePixelRatioF());
  picture.fill(palette().color(backgroundRole()));
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  QFont letters = font();
  letters.setBold(true);
  painter.setFont(letters);
  for (std::size_t i = 0; i < kLampNames.size(); ++i) {
    const LampLook look = lampLook(form_.lampsDriven[i], form_.lampsShown[i]);
    painter.setPen(QPen(QColor::fromRgb(look.edge), 1, look.filled ? Qt::SolidLine : Qt::DashLine));
    painter.setBrush(look.filled ? QBrush(QColor::fromRgb(look.fill)) : QBrush(Qt::NoBrush));
    painter.drawEllipse(lamp(i));
    painter.setPen(QColor::fromRgb(look.letter));
    painter.drawText(lamp(i), Qt::AlignCenter, QString(kLampNames[i].front()));
  }
  return picture;
}

unsigned LampMirror::state() const {
  unsigned state = 0;
  for (std::size_t i = 0; i < kLampNames.size(); ++i)
    state |= (form_.lampsShown[i] ? 1U : 0U) << i | (form_.lampsDriven[i] ? 8U : 0U) << i;
  return state;
}

// The pictures have the background and the scale in them: a new theme or screen draws anew.
bool LampMirror::forgetOldPictures() {
  const std::pair look{palette().color(backgroundRole()).rgba(), devicePixelRatioF()};
  if (look == drawnFor_) return false;
  drawnFor_ = look;
  pictures_.clear();
  if (server_) server_->clear();
  return true;
}

void LampMirror::showLamps() {
  if (!isVisible()) return;  // shown with the window
  if (onServer_)
    showOnServer(false);
  else
    repaint();
}

// A step only names another picture: a new theme or screen comes as a change or a paint event.
void LampMirror::showOnServer(bool outsideAStep) {
  if (!server_ || server_->window() != winId()) {  // made anew by Qt, on another screen say
    server_ = std::make_unique<X11Backgrounds>(winId(), stepConnection_);
    forgetOldPictures();
  }
  const unsigned now = state();
  if (!server_->has(now)) server_->add(now, draw().toImage());
  server_->show(now, outsideAStep);
}

// Before the window maps: from then on the server has a picture to show.
void LampMirror::showEvent(QShowEvent* event) {
  if (onServer_) showOnServer(true);
  QWidget::showEvent(event);
}

void LampMirror::paintEvent(QPaintEvent* /*event*/) {
  forgetOldPictures();
  if (onServer_) {  // shown, or a new theme or screen: the server repaints the rest itself
    showOnServer(true);
    return;
  }
  auto picture = pictures_.find(state());
  if (picture == pictures_.end()) picture = pictures_.emplace(state(), draw()).first;
  QPainter(this).drawPixmap(0, 0, picture->second);
}

void LampMirror::changeEvent(QEvent* event) {
  if (event->type() == QEvent::PaletteChange && onServer_ && server_ && forgetOldPictures())
    showOnServer(true);
  QWidget::changeEvent(event);
}

bool LampMirror::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QWidget::event(event);
  const auto* help = static_cast<QHelpEvent*>(event);
  const auto index = static_cast<std::size_t>(std::clamp(help->pos().x() * 3 / width(), 0, 2));
  QString tip = toQString(kLampNames[index]);
  if (!form_.lampsDriven[index]) tip += QStringLiteral(" (this keyboard can't show it)");
  QToolTip::showText(help->globalPos(), tip, this);
  return true;
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
