#pragma once

#include <QWidget>

class QAbstractButton;
class QDialog;

namespace trivexa::app {

// Who draws the window's title bar.
enum class WindowFrame {
  // The window manager or compositor, told by the window's flags that the
  // close box is the only button.
  kSystem,
  // The window itself. Qt's own Wayland decoration always offers minimize
  // and maximize, whatever the flags say, so on Wayland the window goes
  // frameless and draws a bar with the close box alone.
  kOwnTitleBar,
};

// The frame for the display this process has opened: its own title bar on
// Wayland, unless the user turned client-side decorations off
// (QT_WAYLAND_DISABLE_WINDOWDECORATION) because the compositor draws them.
WindowFrame FrameForThisDisplay();

// The bar across the top of a frameless window: its icon, its title and a
// close box that closes it as the system's does. Dragging it moves the
// window. Like a system title bar it takes no keyboard focus, so the
// window's tab sequence is unchanged.
class TitleBar final : public QWidget {
  Q_OBJECT

 public:
  explicit TitleBar(QWidget& window);

  static constexpr int kHeight = 30;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QAbstractButton* close_ = nullptr;
};

// Gives a dialog that lays itself out (a message box) the same bar, above
// its contents. Before it is shown.
void GiveOwnTitleBar(QDialog& dialog);

}  // namespace trivexa::app
