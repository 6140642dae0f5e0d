// SPDX-License-Identifier: MIT
#pragma once

#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <map>
#include <utility>

#include <string_view>

#include "window/form.h"

namespace blinkolux {

inline QString toQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The three lamps as the form last read or wrote them, for keyboards with fewer lamps (most
// laptops) or none in sight (a remote desktop).
class LampMirror final : public QWidget {
 public:
  LampMirror(const Form1& form, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;

 private:
  QRectF lamp(std::size_t index) const;
  QPixmap draw() const;
  const Form1& form_;
  std::map<unsigned, QPixmap> pictures_;  // one for each state shown so far: a step only copies
  std::pair<QRgb, qreal> drawnFor_{};     // the background and scale they were drawn with
};

// The Qt front-end of Form1: builds the widgets from the window table, forwards their events, and
// wakes the form's timers at their earliest deadline.
class QtWindow final : public QWidget {
 public:
  explicit QtWindow(Form1& form);
  ~QtWindow() override { form_.onLampsShown = nullptr; }
  QtWindow(const QtWindow&) = delete;
  QtWindow& operator=(const QtWindow&) = delete;

 protected:
  // The window unloads: the lamps go back, and no timer runs after that.
  void closeEvent(QCloseEvent* event) override;

 private:
  void addControl(const ControlDescription& c);
  void rearm();

  Form1& form_;
  LampMirror mirror_{form_, this};
  QTimer wake_;
  bool unloaded_ = false;
};

}  // namespace blinkolux
