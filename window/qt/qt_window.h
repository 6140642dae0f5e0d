// SPDX-License-Identifier: MIT
#pragma once

#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <map>
#include <memory>
#include <string_view>
#include <utility>

#include "window/form.h"
#include "window/qt/x11_backgrounds.h"

namespace blinkolux {

inline QString toQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The three lamps as the form last read or wrote them, for keyboards with fewer lamps (most
// laptops) or none in sight (a remote desktop).
class LampMirror final : public QWidget {
 public:
  // `stepConnection`: an X connection that the lamps flush at the end of every step, or null.
  LampMirror(const Form1& form, QWidget* parent, Display* stepConnection);

  void showLamps();  // at once

 protected:
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  QPaintEngine* paintEngine() const override;
  void changeEvent(QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  QRectF lamp(std::size_t index) const;
  QPixmap draw() const;
  unsigned state() const;
  bool forgetOldPictures();
  void showOnServer(bool outsideAStep);  // then no step's flush carries it

  const Form1& form_;
  std::map<unsigned, QPixmap> pictures_;  // one for each state shown so far: a step only copies
  std::pair<QRgb, qreal> drawnFor_{};     // the background and scale they were drawn with
  // On X, the pictures are the server's; elsewhere Qt paints them.
  bool onServer_;
  Display* stepConnection_;
  std::unique_ptr<X11Backgrounds> server_;
};

// The Qt front-end of Form1: builds the widgets from the window table, forwards their events, and
// wakes the form's timers at their earliest deadline.
class QtWindow final : public QWidget {
 public:
  // `lampConnection`: the X keyboard's connection, whose flush at each step the mirror joins.
  explicit QtWindow(Form1& form, Display* lampConnection = nullptr);
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
  LampMirror mirror_;
  QTimer wake_;
  bool unloaded_ = false;
};

}  // namespace blinkolux
