// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStyleOptionButton>
#include <QTest>

#include "form_fixture.h"
#include "window/qt/qt_window.h"

namespace blinkolux {
namespace {

QRect pixelRect(const ControlDescription& c) {
  return {pixels(c.left), pixels(c.top), pixels(c.width), pixels(c.height)};
}

// The real Qt window over a virtual keyboard, on virtual time.
class GuiTest : public ::testing::Test {
 protected:
  GuiTest() { form.Form_Load(); }

  QWidget* at(ControlId id) { return window.childAt(pixelRect(control(id)).center()); }
  void clickAt(ControlId id) {
    const QPoint point = pixelRect(control(id)).center();
    QWidget* target = window.childAt(point);
    ASSERT_NE(target, nullptr);
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(&window, point));
  }

  VirtualClock clock;
  VirtualKeyboard keyboard{kWindowsNtFamily, &clock};
  Form1 form{keyboard.driver, clock};
  QtWindow window{form};
};

// Each paint of a widget, as it happens.
class Paints final : public QObject {
 public:
  explicit Paints(std::function<void()> onPaint) : onPaint_(std::move(onPaint)) {}
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::Paint) onPaint_();
    return false;
  }

 private:
  std::function<void()> onPaint_;
};

// Within the step that changed the lamps, and only then: through a show's end step too, whose
// pause holds up the event loop.
TEST_F(GuiTest, TheLampMirrorPaintsEveryChangeAtOnceAndNothingElse) {
  form.Rnd = [] { return 0.0F; };
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QApplication::processEvents();
  auto* mirror = window.findChild<LampMirror*>();
  ASSERT_NE(mirror, nullptr);
  EXPECT_EQ(mirror->geometry(), QRect(150, 4, 70, 16));
  EXPECT_EQ(mirror->focusPolicy(), Qt::NoFocus);
  std::vector<MirrorPaint> paints;
  Paints watch([&] {
    EXPECT_EQ(form.lampsShown, keyboard.lamps());
    paints.push_back({clock.now(), pattern(form.lampsShown)});
  });
  mirror->installEventFilter(&watch);
  clock.advanceTo(form.timers, kMirrorClick);
  clickAt(ControlId::Command2);
  clock.advanceTo(form.timers, 7100);
  EXPECT_EQ(paints, mirrorTimeline());
}

// Its pictures are kept, but drawn anew in a new theme's colours; also where the X server paints
// them (run again on xcb).
TEST_F(GuiTest, TheLampMirrorFollowsThePalette) {
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  auto* mirror = window.findChild<LampMirror*>();
  const auto corner = [mirror] {
    const QPixmap shown = QGuiApplication::platformName() == "xcb"
                              ? mirror->screen()->grabWindow(mirror->winId(), 0, 0, 1, 1)
                              : mirror->grab();
    return shown.toImage().pixelColor(0, 0);
  };
  const QColor before = corner();
  QPalette red = window.palette();
  red.setColor(QPalette::Window, Qt::red);
  window.setPalette(red);
  EXPECT_EQ(corner(), QColor(Qt::red));
  EXPECT_NE(before, QColor(Qt::red));
}

TEST_F(GuiTest, TheWindowHasItsCaptionSizeAndEveryControlWhereTheTableSays) {
  EXPECT_EQ(window.windowTitle(), "Blinkolux");
  EXPECT_EQ(window.size(), QSize(476, 52));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  EXPECT_FALSE(window.windowFlags() &
               (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  QWidget* previous = nullptr;
  for (const ControlDescription& c : kControls) {
    QWidget* widget = at(c.id);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->geometry(), pixelRect(c));
    if (previous != nullptr) {
      EXPECT_EQ(previous->nextInFocusChain(), widget);
    }
    previous = widget;
  }
  auto* slider = qobject_cast<QSlider*>(at(ControlId::Slider1));
  ASSERT_NE(slider, nullptr);
  EXPECT_EQ(slider->minimum(), 1);
  EXPECT_EQ(slider->maximum(), 1000);
  EXPECT_EQ(slider->value(), 100);
  EXPECT_EQ(slider->singleStep(), 1);
  EXPECT_EQ(slider->pageStep(), 5);
  EXPECT_TRUE(qobject_cast<QCheckBox*>(at(ControlId::Check1))->isChecked());
  EXPECT_FALSE(qobject_cast<QCheckBox*>(at(ControlId::Check2))->isChecked());
}

// The captions must be readable in full inside the fixed boxes.
TEST_F(GuiTest, EveryCaptionFitsItsBox) {
  for (const ControlDescription& c : kControls) {
    QWidget* widget = at(c.id);
    const QString caption = toQString(c.caption);
    QRect room = widget->rect();
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
      QStyleOptionButton option;
      option.initFrom(button);
      room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
      QStyleOptionButton option;
      option.initFrom(box);
      room = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
    }
    const QRect needed = widget->fontMetrics().boundingRect(caption);
    EXPECT_LE(needed.width(), room.width()) << c.caption.data();
    EXPECT_LE(widget->fontMetrics().height(), room.height()) << c.caption.data();
  }
}

TEST_F(GuiTest, ClicksByPositionReachTheirHandlers) {
  clickAt(ControlId::Command1);
  EXPECT_TRUE(form.Direction);
  clickAt(ControlId::Check2);
  EXPECT_EQ(form.Check2.Value, 1);
  clickAt(ControlId::Check1);
  EXPECT_EQ(form.Check1.Value, 0);
}

// Read aloud and in its tooltip as "Speed", "100 ms per step", following it as it moves.
TEST_F(GuiTest, TheSliderSetsTheRunningLightsInterval) {
  QWidget* slider = at(ControlId::Slider1);
  QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(slider);
  ASSERT_NE(spoken, nullptr);
  EXPECT_EQ(spoken->text(QAccessible::Name), "Speed");
  EXPECT_EQ(spoken->text(QAccessible::Value), "100 ms per step");
  slider->setFocus();
  QTest::keyClick(slider, Qt::Key_PageUp);
  QTest::keyClick(slider, Qt::Key_Right);
  EXPECT_EQ(form.Slider1.Value, 106);
  EXPECT_EQ(spoken->text(QAccessible::Value), "106 ms per step");
  EXPECT_EQ(slider->toolTip(), "106 ms per step");
  clock.advanceBy(form.timers, 1);
  EXPECT_EQ(form.Timer1.interval(), 106);
  QTest::keyClick(slider, Qt::Key_Home);
  clock.advanceBy(form.timers, 1);
  EXPECT_EQ(form.Timer1.interval(), 1);  // the lower end is 1 ms, never 0
}

// Every way out (a signal, the session's end, the close box) closes the window.
TEST_F(GuiTest, ClosingTheWindowPutsTheLampsFoundAtLoadBack) {
  form.SavedLamps = {false, true, false};  // as if Caps Lock had been on at load
  clock.advanceTo(form.timers, 250);
  ASSERT_EQ(keyboard.lamps(), (Lamps{false, false, true}));
  window.show();
  window.close();
  EXPECT_EQ(keyboard.lamps(), (Lamps{false, true, false}));
}

}  // namespace
}  // namespace blinkolux

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
