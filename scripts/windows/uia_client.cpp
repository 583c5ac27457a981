// A small UI Automation client: what a screen reader on Windows would read of
// a program's window. Lists every element under the first visible top-level
// window with the given title (control type, name, description, focusability,
// the Invoke/Value/Text patterns and what they give), and presses an element
// through its Invoke pattern.
//
// Usage: uia_client.exe TITLE walk           every element, by navigation
//        uia_client.exe TITLE focus          the element with the focus
//        uia_client.exe TITLE at X Y [invoke] the element at a point of the
//                                            window's client area (pressed)
// Output is UTF-8, one element a line: "label<TAB>key=value<TAB>...".
// Exit code: 0 when it was read (and pressed), 2 when the window is missing,
// 3 when UI Automation is missing, 4 when there is no such element or it
// refused, 5 when a step had no answer within its time limit.
//
// It uses UI Automation's flat client functions (UiaNodeFromHandle,
// UiaNavigate, UiaGetPropertyValue, UiaGetPatternProvider, ...), the layer the
// COM client is built on: Wine 8.0 has no COM client (CUIAutomation is not
// registered and its uiautomationcore.dll's DllGetClassObject is a stub that
// aborts), and MinGW-w64 declares neither, so they are declared here and
// looked up in the library. What Wine 8.0 answers: scripts/windows/README.md.
//
// Build: x86_64-w64-mingw32-g++-posix -std=c++20 -O1 -Wall -Wextra -static
//        -o uia_client.exe uia_client.cpp -lole32 -loleaut32 -lshell32
#include <objbase.h>
#include <oleauto.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Node = void*;
using PatternObject = void*;
using TextRange = void*;

struct UiaCondition {
  int type;  // 0: true
};

struct UiaCacheRequest {
  UiaCondition* view_condition;
  int scope;  // 1: the element itself
  int* properties;
  int property_count;
  int* patterns;
  int pattern_count;
  int element_mode;  // 1: full elements
};

struct Uia {
  HRESULT(WINAPI* NodeFromHandle)(HWND, Node*);
  HRESULT(WINAPI* NodeFromPoint)(double, double, UiaCacheRequest*, SAFEARRAY**, BSTR*);
  HRESULT(WINAPI* NodeFromFocus)(UiaCacheRequest*, SAFEARRAY**, BSTR*);
  HRESULT(WINAPI* GetPropertyValue)(Node, int, VARIANT*);
  HRESULT(WINAPI* Navigate)(Node, int, UiaCondition*, UiaCacheRequest*, SAFEARRAY**, BSTR*);
  HRESULT(WINAPI* HUiaNodeFromVariant)(VARIANT*, Node*);
  HRESULT(WINAPI* GetPatternProvider)(Node, int, PatternObject*);
  HRESULT(WINAPI* Invoke)(PatternObject);
  HRESULT(WINAPI* DocumentRange)(PatternObject, TextRange*);
  HRESULT(WINAPI* GetText)(TextRange, int, BSTR*);
};

Uia uia;

template <typename F>
bool Find(HMODULE library, const char* name, F& function) {
  function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library, name)));
  if (function == nullptr) fprintf(stderr, "uiautomationcore.dll has no %s\n", name);
  return function != nullptr;
}

bool LoadUia() {
  HMODULE library = LoadLibraryW(L"uiautomationcore.dll");
  if (library == nullptr) return false;
  return Find(library, "UiaNodeFromHandle", uia.NodeFromHandle) &&
         Find(library, "UiaNodeFromPoint", uia.NodeFromPoint) &&
         Find(library, "UiaNodeFromFocus", uia.NodeFromFocus) &&
         Find(library, "UiaGetPropertyValue", uia.GetPropertyValue) &&
         Find(library, "UiaNavigate", uia.Navigate) &&
         Find(library, "UiaHUiaNodeFromVariant", uia.HUiaNodeFromVariant) &&
         Find(library, "UiaGetPatternProvider", uia.GetPatternProvider) &&
         Find(library, "InvokePattern_Invoke", uia.Invoke) &&
         Find(library, "TextPattern_get_DocumentRange", uia.DocumentRange) &&
         Find(library, "TextRange_GetText", uia.GetText);
}

// Property and pattern ids (UIAutomationClient.h of the Windows SDK).
enum : int {
  kInvokePattern = 10000,
  kTextPattern = 10014,
  kControlTypeProperty = 30003,
  kLocalizedControlTypeProperty = 30004,
  kNameProperty = 30005,
  kIsKeyboardFocusableProperty = 30009,
  kAutomationIdProperty = 30011,
  kClassNameProperty = 30012,
  kHelpTextProperty = 30013,
  kIsInvokePatternAvailableProperty = 30031,
  kIsTextPatternAvailableProperty = 30040,
  kIsValuePatternAvailableProperty = 30043,
  kValueValueProperty = 30045,
  kFullDescriptionProperty = 30159,
  kNextSibling = 1,
  kFirstChild = 3,
};

std::string Utf8(const wchar_t* text, int length = -1) {
  if (text == nullptr) return {};
  if (length < 0) length = static_cast<int>(wcslen(text));
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr);
  // One element a line: line breaks in a value are shown, not kept.
  for (char& c : out) {
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  }
  return out;
}

std::string Shorten(std::string text) {
  constexpr size_t kShown = 80;
  if (text.size() > kShown)
    text = text.substr(0, kShown) + "...(" + std::to_string(text.size()) + " bytes)";
  return text;
}

// "" when the property cannot be read; "<error 0x...>" says why.
std::string Property(Node element, int property) {
  VARIANT value;
  VariantInit(&value);
  const HRESULT hr = uia.GetPropertyValue(element, property, &value);
  if (FAILED(hr)) {
    char code[32];
    snprintf(code, sizeof code, "<error 0x%08lx>", static_cast<unsigned long>(hr));
    return code;
  }
  std::string out;
  switch (value.vt) {
    case VT_BSTR:
      out = Utf8(value.bstrVal, static_cast<int>(SysStringLen(value.bstrVal)));
      break;
    case VT_I4:
      out = std::to_string(value.lVal);
      break;
    case VT_BOOL:
      out = value.boolVal ? "true" : "false";
      break;
    case VT_EMPTY:
      out = "<empty>";
      break;
    case VT_UNKNOWN:
      // The reserved "not supported" object.
      out = "<not supported>";
      break;
    default:
      out = "<vt " + std::to_string(value.vt) + ">";
      break;
  }
  VariantClear(&value);
  return out;
}

std::string TextOf(Node element) {
  PatternObject pattern = nullptr;
  if (FAILED(uia.GetPatternProvider(element, kTextPattern, &pattern)) || pattern == nullptr)
    return "<no pattern object>";
  TextRange range = nullptr;
  if (FAILED(uia.DocumentRange(pattern, &range)) || range == nullptr) return "<no document range>";
  BSTR text = nullptr;
  std::string out = "<error>";
  if (SUCCEEDED(uia.GetText(range, 200, &text))) out = Utf8(text, SysStringLen(text));
  SysFreeString(text);
  return Shorten(out);
}

constexpr int kStepSeconds = 30;
const char* volatile step = "start";

UiaCondition all{0};
UiaCacheRequest request{&all, 1, nullptr, 0, nullptr, 0, 1};

// The node of a cache request's answer.
Node FirstNode(HRESULT hr, SAFEARRAY* data, BSTR structure) {
  Node found = nullptr;
  if (SUCCEEDED(hr) && data != nullptr) {
    LONG index[2] = {0, 0};
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(SafeArrayGetElement(data, index, &value))) {
      uia.HUiaNodeFromVariant(&value, &found);
    }
    SafeArrayDestroy(data);
  }
  SysFreeString(structure);
  return found;
}

// The neighbour of an element in the raw view, or null.
Node Neighbour(Node element, int direction) {
  SAFEARRAY* data = nullptr;
  BSTR structure = nullptr;
  const HRESULT hr = uia.Navigate(element, direction, &all, &request, &data, &structure);
  return FirstNode(hr, data, structure);
}

struct Search {
  std::wstring title;
  HWND found = nullptr;
};

BOOL CALLBACK FindTitled(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  wchar_t title[256] = {};
  GetWindowTextW(window, title, 256);
  if (IsWindowVisible(window) && search->title == title) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

std::wstring Wide(const char* text) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring out(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), size);
  out.resize(wcslen(out.c_str()));
  return out;
}

void Describe(const std::string& label, Node element) {
  const bool text = Property(element, kIsTextPatternAvailableProperty) == "true";
  printf(
      "%s\tcontrol_type=%s\tlocalized_type=%s\tname=%s\tclass=%s\tautomation_id=%s"
      "\thelp=%s\tdescription=%s\tfocusable=%s\tinvoke=%s\tvalue_pattern=%s\tvalue=%s"
      "\ttext=%s\n",
      label.c_str(), Property(element, kControlTypeProperty).c_str(),
      Property(element, kLocalizedControlTypeProperty).c_str(),
      Property(element, kNameProperty).c_str(), Property(element, kClassNameProperty).c_str(),
      Property(element, kAutomationIdProperty).c_str(),
      Property(element, kHelpTextProperty).c_str(),
      Property(element, kFullDescriptionProperty).c_str(),
      Property(element, kIsKeyboardFocusableProperty).c_str(),
      Property(element, kIsInvokePatternAvailableProperty).c_str(),
      Property(element, kIsValuePatternAvailableProperty).c_str(),
      Shorten(Property(element, kValueValueProperty)).c_str(),
      text ? TextOf(element).c_str() : "no");
  fflush(stdout);
}

// Every element under the given one, depth first, as a reader walks them.
void Walk(Node parent, int depth, std::vector<Node>& elements) {
  constexpr int kDeepest = 12;
  if (depth > kDeepest) return;
  for (Node child = Neighbour(parent, kFirstChild); child != nullptr;
       child = Neighbour(child, kNextSibling)) {
    elements.push_back(child);
    Describe("element\t" + std::to_string(depth), child);
    Walk(child, depth + 1, elements);
  }
}

}  // namespace

int main() {
  // The names are Chinese: the arguments are taken as characters, whatever the
  // code page.
  int argc = 0;
  wchar_t** wide_argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(Utf8(wide_argv[i]));
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  const bool usage =
      (argc == 3 && (std::string(argv[2]) == "walk" || std::string(argv[2]) == "focus")) ||
      (argc == 5 && std::string(argv[2]) == "at") ||
      (argc == 6 && std::string(argv[2]) == "at" && std::string(argv[5]) == "invoke");
  if (!usage) {
    fprintf(stderr, "usage: uia_client TITLE walk|focus|at X Y [invoke]\n");
    return 1;
  }
  Search search;
  search.title = Wide(argv[1]);
  EnumWindows(FindTitled, reinterpret_cast<LPARAM>(&search));
  if (search.found == nullptr) {
    fprintf(stderr, "no visible window titled %s\n", argv[1]);
    return 2;
  }
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (!LoadUia()) return 3;
  // Some of Wine's calls never return: each step has a time limit.
  CreateThread(
      nullptr, 0,
      [](void*) -> DWORD {
        Sleep(kStepSeconds * 1000);
        printf("timeout\t%s\t<no answer in %d s>\n", step, kStepSeconds);
        fflush(stdout);
        ExitProcess(5);
      },
      nullptr, 0, nullptr);
  step = "window";
  Node window = nullptr;
  const HRESULT hr = uia.NodeFromHandle(search.found, &window);
  if (FAILED(hr) || window == nullptr) {
    fprintf(stderr, "UiaNodeFromHandle: 0x%08lx\n", static_cast<unsigned long>(hr));
    return 3;
  }
  Describe("window\t0", window);
  int code = 0;
  const std::string mode = argv[2];
  if (mode == "focus") {
    step = "focus";
    SAFEARRAY* data = nullptr;
    BSTR structure = nullptr;
    const HRESULT result = uia.NodeFromFocus(&request, &data, &structure);
    Node focused = FirstNode(result, data, structure);
    if (focused == nullptr) {
      printf("focus\t<none 0x%08lx>\n", static_cast<unsigned long>(result));
      code = 4;
    } else {
      Describe("focus", focused);
    }
  } else if (mode == "walk") {
    step = "walk";
    std::vector<Node> elements;
    Walk(window, 1, elements);
    printf("elements\t%zu\n", elements.size());
  } else {
    // at X Y [invoke]: the element at a point of the window's client area.
    step = "point";
    POINT point{atoi(argv[3]), atoi(argv[4])};
    ClientToScreen(search.found, &point);
    SAFEARRAY* data = nullptr;
    BSTR structure = nullptr;
    const HRESULT result = uia.NodeFromPoint(point.x, point.y, &request, &data, &structure);
    Node element = FirstNode(result, data, structure);
    if (element == nullptr) {
      printf("point\t<none 0x%08lx>\n", static_cast<unsigned long>(result));
      code = 4;
    } else {
      Describe(std::string("point\t") + argv[3] + "," + argv[4], element);
      if (argc == 6) {
        step = "invoke";
        code = 4;
        PatternObject pattern = nullptr;
        HRESULT invoked = uia.GetPatternProvider(element, kInvokePattern, &pattern);
        if (SUCCEEDED(invoked) && pattern != nullptr) invoked = uia.Invoke(pattern);
        printf("invoke\t0x%08lx\n", static_cast<unsigned long>(invoked));
        if (SUCCEEDED(invoked) && pattern != nullptr) code = 0;
      }
    }
  }
  fflush(stdout);
  return code;
}
