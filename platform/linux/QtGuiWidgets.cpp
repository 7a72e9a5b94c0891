// The Qt widgets behind the main window and its process list view.
#include "platform/linux/QtGuiWidgets.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPainter>
#include <QScreen>

#include <algorithm>

#include "app/WindowPlacement.h"

namespace proccpu::platform::qtgui {

namespace {

constexpr Qt::WindowFlags mainWindowFlags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                            Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                            Qt::WindowCloseButtonHint;
// Once when created and once when a window manager has framed it; more would fight a manager.
constexpr int maxPlacements = 3;
// Room around the text of a row, as the list views of desktop systems leave it.
constexpr int rowPadding = 4;
constexpr qreal fallbackRefreshRate = 60.0;
constexpr int millisecondsPerSecond = 1000;

// The time between two frames of the screen the widget is on, in whole milliseconds.
int frameInterval(const QWidget& widget) {
  const QScreen* screen = widget.screen();
  const qreal rate =
      screen != nullptr && screen->refreshRate() > 1.0 ? screen->refreshRate() : fallbackRefreshRate;
  return std::max(1, static_cast<int>(millisecondsPerSecond / rate));
}

}  // namespace

MainWindowWidget::MainWindowWidget(QSize clientSize) : QWidget(nullptr, mainWindowFlags) {
  requestedClient_ = clientSize;
  setFixedSize(clientSize);
  QPalette facePalette = palette();
  facePalette.setColor(QPalette::Window, facePalette.color(QPalette::Button));
  setPalette(facePalette);
  setAutoFillBackground(true);
}

void MainWindowWidget::placeOnPrimaryScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr || placements_ >= maxPlacements) return;
  ++placements_;
  const QSize frame = frameGeometry().size() - geometry().size();
  const QSize outer = requestedClient_ + frame;
  const QRect full = screen->geometry();
  const WindowPlacement place = placeWindow(outer.width(), outer.height(), full.width(), full.height());
  placedOuter_ = QSize(place.width, place.height);
  setFixedSize(placedOuter_ - frame);
  move(full.x() + place.x, full.y() + place.y);
}

bool MainWindowWidget::takeCloseRequest() {
  const bool requested = closeRequested_;
  closeRequested_ = false;
  return requested;
}

void MainWindowWidget::closeEvent(QCloseEvent* event) {
  // The program decides when the window goes: it only learns that the user asked.
  event->ignore();
  closeRequested_ = true;
}

void MainWindowWidget::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  // A window manager adds its frame after the window is shown; centre again once its size is known.
  if (frameGeometry().size() != placedOuter_) placeOnPrimaryScreen();
}

ProcessListWidget::ProcessListWidget(QWidget* parent) : QTableWidget(parent) {
  setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setFocusPolicy(Qt::StrongFocus);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSortingEnabled(false);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  // The grid is painted by paintGrid so that it also covers the empty area below the last row.
  setShowGrid(false);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + rowPadding);
  QHeaderView* header = horizontalHeader();
  header->setSectionsClickable(false);
  header->setSectionsMovable(false);
  header->setHighlightSections(false);
  header->setSortIndicatorShown(false);
  header->setStretchLastSection(false);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  focusedPalette_ = palette();
  showSelection(false);
  frameTimer_.setSingleShot(true);
  frameTimer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&frameTimer_, &QTimer::timeout, this, [this] { repaintChangedCells(); });
}

// The sampler changes one cell every few milliseconds; painting each at once would paint more often
// than the screen can show, and a repaint costs far more than the change of a text. A change that
// comes a frame or more after the last repaint is painted at once, so a lone change costs no extra
// wake-up; closer ones wait for the next frame and are painted together.
void ProcessListWidget::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                    const QList<int>& roles) {
  if (topLeft != bottomRight || !topLeft.isValid()) {
    QTableWidget::dataChanged(topLeft, bottomRight, roles);
    return;
  }
  const std::pair<int, int> cell{topLeft.row(), topLeft.column()};
  if (std::find(changedCells_.begin(), changedCells_.end(), cell) == changedCells_.end()) {
    changedCells_.push_back(cell);
  }
  if (frameTimer_.isActive()) return;
  const qint64 sinceRepaint = lastRepaint_.isValid() ? lastRepaint_.elapsed() : frameInterval(*this);
  if (sinceRepaint >= frameInterval(*this)) {
    repaintChangedCells();
  } else {
    frameTimer_.start(frameInterval(*this) - static_cast<int>(sinceRepaint));
  }
}

// Marks every changed cell dirty in one go, so Qt paints them together.
void ProcessListWidget::repaintChangedCells() {
  for (const auto& [row, column] : changedCells_) {
    const QModelIndex index = model()->index(row, column);
    if (index.isValid()) QTableWidget::dataChanged(index, index, {});
  }
  changedCells_.clear();
  lastRepaint_.start();
}

void ProcessListWidget::paintEvent(QPaintEvent* event) {
  QTableWidget::paintEvent(event);
  paintGrid();
}

void ProcessListWidget::paintGrid() {
  QPainter painter(viewport());
  painter.setPen(palette().color(QPalette::Button));
  const int width = viewport()->width();
  const int height = viewport()->height();
  const int pitch = verticalHeader()->defaultSectionSize();
  // Row boundaries continue below the last row at the same pitch, as far as the view reaches.
  const int firstRow = rowCount() > 0 ? rowAt(0) : -1;
  int y = firstRow >= 0 ? rowViewportPosition(firstRow) + rowHeight(firstRow) - 1 : pitch - 1;
  for (; y < height; y += pitch) painter.drawLine(0, y, width, y);
  for (int column = 0; column < columnCount(); ++column) {
    const int x = columnViewportPosition(column) + columnWidth(column) - 1;
    if (x >= 0 && x < width) painter.drawLine(x, 0, x, height);
  }
}

void ProcessListWidget::focusInEvent(QFocusEvent* event) {
  QTableWidget::focusInEvent(event);
  showSelection(true);
}

void ProcessListWidget::focusOutEvent(QFocusEvent* event) {
  QTableWidget::focusOutEvent(event);
  showSelection(false);
}

void ProcessListWidget::showSelection(bool shown) {
  if (shown) {
    setPalette(focusedPalette_);
    return;
  }
  // A selected row drawn in the colours of an unselected one: the selection stays, unseen.
  QPalette hidden = focusedPalette_;
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    hidden.setColor(group, QPalette::Highlight, focusedPalette_.color(group, QPalette::Base));
    hidden.setColor(group, QPalette::HighlightedText, focusedPalette_.color(group, QPalette::Text));
  }
  setPalette(hidden);
}

}  // namespace proccpu::platform::qtgui
