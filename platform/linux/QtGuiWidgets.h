// The Qt widgets behind the main window and its process list view.
#pragma once

#include <QElapsedTimer>
#include <QPalette>
#include <QSize>
#include <QTableWidget>
#include <QTimer>
#include <QWidget>

#include <utility>
#include <vector>

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
/// list has the keyboard focus. A cell whose text changes holds the new text at once; its repaint waits
/// for the next frame of the screen, together with the other cells changed until then.
class ProcessListWidget : public QTableWidget {
 public:
  explicit ProcessListWidget(QWidget* parent);

 protected:
  void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                   const QList<int>& roles = QList<int>()) override;
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void paintGrid();
  void showSelection(bool shown);
  void repaintChangedCells();

  QPalette focusedPalette_;
  QTimer frameTimer_;
  QElapsedTimer lastRepaint_;                      // since the changed cells were last marked for a repaint
  std::vector<std::pair<int, int>> changedCells_;  // row and column, each once, until the next frame
};

}  // namespace proccpu::platform::qtgui
