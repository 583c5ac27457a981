// Placeholder entry point until the window exists.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel label("Quorvane: the window is being built.");
  label.resize(400, 100);
  label.show();
  return app.exec();
}
