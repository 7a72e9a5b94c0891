// The reference for the start-up time: the least a Qt Widgets program does to show a window (the
// application, one fixed-size top-level window with a title, shown), then it waits for events.
#include <QApplication>
#include <QWidget>

namespace {
constexpr int clientWidth = 700;
constexpr int clientHeight = 500;
}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QWidget window;
  window.setFixedSize(clientWidth, clientHeight);
  window.setWindowTitle("Process cpu usage");
  window.show();
  return QApplication::exec();
}
