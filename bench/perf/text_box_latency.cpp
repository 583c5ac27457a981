// One text box (ours, or QPlainTextEdit as the baseline) holding N characters of
// one-line hex, in the window's 313 x 311 size: replace + first paint, scroll,
// keystroke and paste latency, and resident memory per character. One box and
// one size per process, so that the memory figure is the box's own and a
// caller can cap a slow run with `timeout`.
// Usage: perf_text_box memo|plain N   (prints one JSON object)
#include <sys/resource.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/memo/memo.h"
#include "tests/test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

long long StatusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key, 0) == 0) return std::atoll(line.c_str() + std::strlen(key));
  return 0;
}

template <typename F>
double Ms(F&& f) {
  const auto t = Clock::now();
  f();
  return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

void Key(QWidget* target, int key, Qt::KeyboardModifiers mods, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, key, mods, text);
  QApplication::sendEvent(target, &press);
}

// What the measurements need from either box.
struct TBox {
  virtual ~TBox() = default;
  virtual QWidget* Widget() = 0;
  virtual QWidget* Viewport() = 0;
  virtual QScrollBar* Bar() = 0;
  // Makes the text to hand over (a copy the box may take), outside the timing.
  virtual void Prepare(const std::string& hex) = 0;
  // Replaces the whole text with the prepared one.
  virtual void Replace() = 0;
  virtual void PlaceCaret(int64_t at) = 0;
};

struct TMemoBox : TBox {
  qv::TMemo memo;
  QWidget* Widget() override { return &memo; }
  QWidget* Viewport() override { return memo.viewport(); }
  QScrollBar* Bar() override { return memo.verticalScrollBar(); }
  std::string next;
  void Prepare(const std::string& hex) override { next = hex; }
  void Replace() override { memo.SetText(std::move(next)); }
  void PlaceCaret(int64_t at) override { memo.SetSelection(at, at); }
};

struct TPlainBox : TBox {
  QPlainTextEdit edit;
  TPlainBox() { edit.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn); }
  QWidget* Widget() override { return &edit; }
  QWidget* Viewport() override { return edit.viewport(); }
  QScrollBar* Bar() override { return edit.verticalScrollBar(); }
  QString next;
  void Prepare(const std::string& hex) override {
    next = QString::fromLatin1(hex.data(), static_cast<qsizetype>(hex.size()));
  }
  void Replace() override { edit.setPlainText(next); }
  void PlaceCaret(int64_t at) override {
    QTextCursor c = edit.textCursor();
    c.setPosition(static_cast<int>(at));
    edit.setTextCursor(c);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (argc != 3) {
    std::fprintf(stderr, "usage: perf_text_box memo|plain N\n");
    return 2;
  }
  const bool plain = std::strcmp(argv[1], "plain") == 0;
  const size_t n = static_cast<size_t>(std::atoll(argv[2]));
  QApplication app(argc, argv);
  const std::string hex = qv::testing_support::RandomHex(n, 42);
  std::unique_ptr<TBox> box;
  if (plain)
    box = std::make_unique<TPlainBox>();
  else
    box = std::make_unique<TMemoBox>();
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(11);
  box->Widget()->setFont(font);
  box->Widget()->setGeometry(8, 263, 313, 311);
  box->Widget()->show();
  box->Widget()->activateWindow();
  box->Widget()->setFocus();
  QApplication::processEvents();

  // Memory: from before the text the box takes over is made, through its
  // first replace and paint.
  std::ofstream("/proc/self/clear_refs") << "5";
  const long long rss_before = StatusKb("VmRSS:");
  box->Prepare(hex);
  // Replace + first paint: the first run is the one a user sees after a conversion.
  std::vector<double> replace;
  replace.push_back(Ms([&] {
    box->Replace();
    box->Viewport()->repaint();
  }));
  const long long peak = StatusKb("VmHWM:");
  const long long rss_after = StatusKb("VmRSS:");
  for (int i = 1; i < (plain ? 1 : 3); ++i) {
    box->Prepare(hex);
    replace.push_back(Ms([&] {
      box->Replace();
      box->Viewport()->repaint();
    }));
  }

  // The stock box takes seconds per edit on long lines: fewer rounds for it.
  const int rounds = plain ? 2 : 10;
  // Scroll: page to page in the middle.
  std::vector<double> scroll;
  QScrollBar* bar = box->Bar();
  const int middle = bar->maximum() / 2;
  for (int i = 0; i < rounds; ++i) {
    scroll.push_back(Ms([&] {
      bar->setValue(i % 2 ? middle : middle + bar->pageStep());
      box->Viewport()->repaint();
    }));
  }

  // Keystrokes in the middle of the text: a character, then Backspace.
  std::vector<double> keys;
  box->PlaceCaret(static_cast<int64_t>(n / 2));
  for (int i = 0; i < rounds; ++i) {
    keys.push_back(Ms([&] {
      Key(box->Widget(), Qt::Key_A, Qt::NoModifier, QStringLiteral("A"));
      box->Viewport()->repaint();
    }));
    keys.push_back(Ms([&] {
      Key(box->Widget(), Qt::Key_Backspace, Qt::NoModifier, QString());
      box->Viewport()->repaint();
    }));
  }

  // Paste of 16 characters in the middle.
  QApplication::clipboard()->setText(QStringLiteral("0123456789ABCDEF"));
  std::vector<double> pastes;
  for (int i = 0; i < rounds / 2 + 1; ++i) {
    box->PlaceCaret(static_cast<int64_t>(n / 2));
    pastes.push_back(Ms([&] {
      Key(box->Widget(), Qt::Key_V, Qt::ControlModifier, QString());
      box->Viewport()->repaint();
    }));
  }

  std::printf(
      "{\"box\": \"%s\", \"chars\": %zu, \"replace_first_ms\": %.3f, \"replace_ms\": %.3f, "
      "\"scroll_ms\": %.3f, \"key_ms\": %.3f, \"key_max_ms\": %.3f, \"paste_ms\": %.3f, "
      "\"peak_bytes_per_char\": %.3f, \"held_bytes_per_char\": %.3f}\n",
      plain ? "QPlainTextEdit" : "TMemo", n, replace.front(), Median(replace), Median(scroll),
      Median(keys), *std::max_element(keys.begin(), keys.end()), Median(pastes),
      static_cast<double>(peak - rss_before) * 1024.0 / static_cast<double>(n),
      static_cast<double>(rss_after - rss_before) * 1024.0 / static_cast<double>(n));
  return 0;
}
