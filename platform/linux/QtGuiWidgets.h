// The Qt widgets behind the main window and its process list view.
#pragma once

#include <QPalette>
#include <QSize>
#include <QTableWidget>
#include <QWidget>

namespace proccpu::platform::qtgui {

/// The top-level window: a fixed client size, centred on the primary screen, and a close request that
/// is only remembered, never carried out.
class MainWindowWidget : public QWidget {
 public:
  explicit MainWindowWidget(QSize clientSize);

  /// Centres the window, frame included, on the primary screen; shrinks the client if it does not fit.
  void placeOnPrimaryScreen();

  /// True once per close request made since the last call.
  bool takeCloseRequest();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  QSize requestedClient_;
  QSize placedOuter_;
  int placements_ = 0;
  bool closeRequested_ = false;
};

/// The report list: read-only rows of one line each, whole-row single selection, no sorting, no row
/// numbers, fixed columns order, grid lines over the whole area, and a selection shown only while the
/// list has the keyboard focus.
class ProcessListWidget : public QTableWidget {
 public:
  explicit ProcessListWidget(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void paintGrid();
  void showSelection(bool shown);

  QPalette focusedPalette_;
};

}  // namespace proccpu::platform::qtgui
