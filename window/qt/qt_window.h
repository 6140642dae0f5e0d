#pragma once

#include <QTimer>
#include <QWidget>

#include <string_view>

#include "window/form.h"

namespace blinkolux {

inline QString toQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The Qt front-end of Form1: builds the widgets from the window table, forwards their events, and
// wakes the form's timers at their earliest deadline.
class QtWindow final : public QWidget {
 public:
  explicit QtWindow(Form1& form);

 protected:
  // The window unloads: the lamps go back, and no timer runs after that.
  void closeEvent(QCloseEvent* event) override;

 private:
  void addControl(const ControlDescription& c);
  void rearm();

  Form1& form_;
  QTimer wake_;
  bool unloaded_ = false;
};

}  // namespace blinkolux
